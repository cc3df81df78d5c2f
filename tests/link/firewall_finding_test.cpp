// The firewall's judgement on rule sets as Windows creates them. Each expected
// outcome comes from Windows' documented behaviour, cited on its row.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/firewall_finding.h"

namespace {

using namespace firewall;

const std::wstring downloads = L"C:\\Users\\Ana\\Downloads\\TolvenaireAndroid.exe";
const std::wstring desktop = L"C:\\Users\\Ana\\Desktop\\TolvenaireAndroid.exe";
constexpr int udp = 17;

enum Flag { plain, disabled, outbound, scoped, secured };

Rule forProgram(const std::wstring& path, bool allow, int protocol, std::uint32_t profiles, Flag flag = plain) {
    Rule rule;
    rule.program = path;
    rule.allow = allow;
    rule.protocol = protocol;
    rule.profiles = profiles;
    rule.enabled = flag != disabled;
    rule.inbound = flag != outbound;
    rule.scoped = flag == scoped;
    rule.secured = flag == secured;
    return rule;
}

// Windows' prompt ("Windows Defender Firewall has blocked some features of this app")
// writes one inbound rule per protocol, TCP and UDP, for the program's full path.
std::vector<Rule> promptPair(const std::wstring& path, bool allow, std::uint32_t profiles) {
    return {forProgram(path, allow, tcp, profiles), forProgram(path, allow, udp, profiles)};
}

std::vector<Rule> operator+(std::vector<Rule> left, const std::vector<Rule>& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

Rule anyProgramOnPorts(const wchar_t* ports, int protocol) {
    Rule rule = forProgram(L"", true, protocol, privateProfile | publicProfile);
    rule.localPorts = ports;
    return rule;
}

// The pair Windows writes when only "Private networks" was ticked in its prompt:
// allowed on Private, and blocked on Public.
const std::vector<Rule> privateOnly =
    promptPair(downloads, true, privateProfile) + promptPair(downloads, false, publicProfile);

constexpr ProfileState defaults{};  // on, not blocking all, default inbound action Block
constexpr Finding allowed{Verdict::allowed, Reason::none, 0};
constexpr Finding unknown{};
constexpr Finding byRuleOnPublic{Verdict::blocked, Reason::blockRule, publicProfile};
constexpr Finding noRuleOnPublic{Verdict::blocked, Reason::noRule, publicProfile};
// The prompt's pair allowing the program everywhere, and one more rule for it.
std::vector<Rule> allowedAnd(const Rule& rule) {
    return promptPair(downloads, true, everyProfile) + std::vector<Rule>{rule};
}

struct Case {
    const char* name;
    std::vector<Rule> rules;
    Finding expected;
    std::uint32_t profile = publicProfile;
    ProfileState state = defaults;
    std::wstring program = downloads;
    bool managedElsewhere = false;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> table{
        // Both boxes ticked in the prompt: allow rules on Private and Public.
        {"prompt allowed on both types", promptPair(downloads, true, privateProfile | publicProfile), allowed},
        // The prompt cancelled, or answered by a non-administrator: Windows writes block
        // rules for the program on the current type; block rules win over allow rules.
        {"prompt dismissed on a Public Wi-Fi", promptPair(downloads, false, publicProfile), byRuleOnPublic},
        {"dismissed after an allow",
         promptPair(downloads, true, everyProfile) + promptPair(downloads, false, publicProfile), byRuleOnPublic},
        {"Private only, on a Public Wi-Fi", privateOnly, byRuleOnPublic},
        {"Private only, on a Private Wi-Fi", privateOnly, allowed, privateProfile},
        // Rules are per full path: a moved program has none, and the default inbound
        // action (Block unless changed) applies.
        {"moved executable", privateOnly, noRuleOnPublic, publicProfile, defaults, desktop},
        {"moved, default inbound Allow", privateOnly, allowed, publicProfile, {true, false, false}, desktop},
        // File names compare without case, and %VARIABLES% in a rule's path expand.
        {"path in other case", promptPair(L"c:\\users\\ana\\downloads\\tolvenaireandroid.EXE", true, everyProfile),
         allowed},
        {"path through %USERPROFILE%",
         promptPair(L"%USERPROFILE%\\Downloads\\TolvenaireAndroid.exe", false, publicProfile), byRuleOnPublic},
        // NTFS compares names through its own upper-case table, which folds Cyrillic and
        // the rest of Unicode too, and the same file also has a short 8.3 name: a path
        // that may be this program under another spelling decides nothing.
        {"Cyrillic path in other case",
         promptPair(L"C:\\Users\\\u041E\u041B\u042C\u0413\u0410\\TolvenaireAndroid.exe", true, everyProfile), unknown,
         publicProfile, defaults, L"C:\\Users\\\u041E\u043B\u044C\u0433\u0430\\TolvenaireAndroid.exe"},
        {"path in 8.3 form", promptPair(L"C:\\Users\\ANALYS~1\\DOWNLO~1\\TOLVEN~1.EXE", true, everyProfile), unknown},
        {"path through an unknown variable", promptPair(L"%ONEDRIVE%\\TolvenaireAndroid.exe", true, everyProfile),
         unknown},
        // "Block all incoming connections": exceptions are ignored, only traffic the PC
        // starts passes.
        {"block-all",
         privateOnly,
         {Verdict::blocked, Reason::blockAll, privateProfile},
         privateProfile,
         {true, true, true}},
        // With the firewall off on the profile nothing is filtered.
        {"firewall off on this type", privateOnly, allowed, publicProfile, {false, true, true}},
        // An "any program" rule for the link's ports allows the program wherever it is.
        {"any program on 8765-8785", {anyProgramOnPorts(L"8765-8785", tcp)}, allowed, publicProfile, defaults, desktop},
        {"any program on a list of ports", {anyProgramOnPorts(L"80,8765", tcp)}, allowed},
        {"any program on other ports", {anyProgramOnPorts(L"8766-8785", tcp)}, noRuleOnPublic},
        // A UDP rule does not decide TCP traffic.
        {"UDP only", {anyProgramOnPorts(L"8765-8785", udp)}, noRuleOnPublic},
        // A port keyword (RPC, Teredo…) names ports that only Windows resolves.
        {"port keyword", {anyProgramOnPorts(L"RPC", tcp)}, unknown},
        // Disabled and outbound rules do not filter inbound traffic.
        {"disabled block rule", allowedAnd(forProgram(downloads, false, tcp, everyProfile, disabled)), allowed},
        {"outbound block rule", allowedAnd(forProgram(downloads, false, tcp, everyProfile, outbound)), allowed},
        // Scoped by remote address (say LocalSubnet), interface or service: whether it
        // covers the phone depends on what only Windows sees.
        {"allow scoped by remote address", {forProgram(downloads, true, tcp, everyProfile, scoped)}, unknown},
        {"block scoped by remote address", allowedAnd(forProgram(downloads, false, tcp, everyProfile, scoped)),
         unknown},
        // An authenticated allow-bypass rule takes precedence over block rules.
        {"block with a secured allow",
         promptPair(downloads, false, everyProfile) +
             std::vector<Rule>{forProgram(downloads, true, tcp, everyProfile, secured)},
         unknown},
        // Group policy or a third-party firewall: the local rules are not the whole story.
        {"managed elsewhere", promptPair(downloads, false, everyProfile), unknown, publicProfile, defaults, downloads,
         true},
    };
    return table;
}

TEST(FirewallFinding, RuleSetsAsWindowsWritesThem) {
    for (const Case& row : cases()) {
        Situation situation;
        situation.profile = row.profile;
        situation.state = row.state;
        situation.rules = row.rules;
        situation.program = row.program;
        situation.port = 8765;
        situation.managedElsewhere = row.managedElsewhere;
        situation.variable = [](const std::wstring& name) -> std::optional<std::wstring> {
            if (name == L"USERPROFILE") return std::wstring(L"C:\\Users\\Ana");
            return std::nullopt;
        };
        const Finding found = judge(situation);
        EXPECT_EQ(found, row.expected) << row.name << ": got verdict " << static_cast<int>(found.verdict) << ", reason "
                                       << static_cast<int>(found.reason);
    }
}

}  // namespace
