#include "link/firewall_finding.h"

#include <cwchar>

namespace firewall {
namespace {

// Whether a rule covers the link: yes, no, or cannot tell.
enum class Match { no, yes, maybe };

Match both(Match left, Match right) {
    if (left == Match::no || right == Match::no) return Match::no;
    return left == Match::maybe || right == Match::maybe ? Match::maybe : Match::yes;
}

// File names compare without case on Windows; its table folds more than this
// (Latin-1 and ASCII here), so a difference beyond it is left undecided.
wchar_t folded(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
    return c == L'/' ? L'\\' : c;
}

std::optional<std::wstring> expanded(const std::wstring& path, const Situation& situation) {
    std::wstring out;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t open = path.find(L'%', at);
        const std::size_t close = open == std::wstring::npos ? open : path.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            out += path.substr(at);
            break;
        }
        out += path.substr(at, open - at);
        const std::optional<std::wstring> value =
            situation.variable ? situation.variable(path.substr(open + 1, close - open - 1)) : std::nullopt;
        if (!value) return std::nullopt;
        out += *value;
        at = close + 1;
    }
    return out;
}

Match programMatch(const Rule& rule, const Situation& situation) {
    if (rule.program.empty()) return Match::yes;
    const std::optional<std::wstring> path = expanded(rule.program, situation);
    if (!path) return Match::maybe;
    // A short 8.3 name ("ANALYS~1") names the same file under another spelling; only the
    // file system can tell. So can a letter outside Latin-1 in another case, which
    // Windows folds and this does not: neither may turn into "no rule for the program".
    const Match otherSpelling = path->find(L'~') != std::wstring::npos ? Match::maybe : Match::no;
    if (path->size() != situation.program.size()) return otherSpelling;
    for (std::size_t i = 0; i < path->size(); ++i) {
        const wchar_t ruleLetter = (*path)[i];
        const wchar_t ownLetter = situation.program[i];
        if (folded(ruleLetter) == folded(ownLetter)) continue;
        return ruleLetter > 0xFF || ownLetter > 0xFF ? Match::maybe : otherSpelling;
    }
    return Match::yes;
}

// "*" or nothing is every port; keywords (RPC, Teredo, IPHTTPS…) name ports chosen at
// run time, which only Windows knows.
Match portMatch(const std::wstring& ports, std::uint16_t port) {
    if (ports.empty() || ports == L"*") return Match::yes;
    Match found = Match::no;
    std::size_t at = 0;
    while (at <= ports.size()) {
        std::size_t end = ports.find(L',', at);
        if (end == std::wstring::npos) end = ports.size();
        const std::wstring item = ports.substr(at, end - at);
        wchar_t* rest = nullptr;
        const unsigned long low = std::wcstoul(item.c_str(), &rest, 10);
        unsigned long high = low;
        if (rest != item.c_str() && *rest == L'-') high = std::wcstoul(rest + 1, &rest, 10);
        if (item.empty() || rest == item.c_str() || *rest != L'\0')
            found = Match::maybe;
        else if (low <= port && port <= high)
            return Match::yes;
        at = end + 1;
    }
    return found;
}

Match covers(const Rule& rule, const Situation& situation) {
    if (!rule.enabled || !rule.inbound || (rule.profiles & situation.profile) == 0) return Match::no;
    if (rule.protocol != tcp && rule.protocol != anyProtocol) return Match::no;
    Match match = both(programMatch(rule, situation), portMatch(rule.localPorts, situation.port));
    if (rule.scoped) match = both(match, Match::maybe);
    return match;
}

}  // namespace

Finding judge(const Situation& situation) {
    if (situation.managedElsewhere) return {};
    if (!situation.state.enabled) return {Verdict::allowed, Reason::none, 0};
    if (situation.state.blockAllInbound) return {Verdict::blocked, Reason::blockAll, situation.profile};

    bool blockRule = false;
    bool maybeBlock = false;
    bool allowRule = false;
    bool maybeAllow = false;
    bool bypass = false;
    for (const Rule& rule : situation.rules) {
        const Match match = covers(rule, situation);
        if (match == Match::no) continue;
        const bool sure = match == Match::yes;
        if (!rule.allow) {
            (sure ? blockRule : maybeBlock) = true;
        } else {
            (sure && !rule.secured ? allowRule : maybeAllow) = true;
            bypass = bypass || rule.secured;
        }
    }
    // Block rules win over allow rules; only an authenticated bypass rule wins over them.
    if (blockRule) return bypass ? Finding{} : Finding{Verdict::blocked, Reason::blockRule, situation.profile};
    if (maybeBlock) return {};
    if (allowRule) return {Verdict::allowed, Reason::none, 0};
    if (maybeAllow) return {};
    if (situation.state.defaultBlock) return {Verdict::blocked, Reason::noRule, situation.profile};
    return {Verdict::allowed, Reason::none, 0};
}

}  // namespace firewall
