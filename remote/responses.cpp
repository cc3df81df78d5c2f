// Reading the answers of the version site and of the like counter. Platform-free.
#include "remote/remote.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace remote {
namespace {

constexpr std::string_view Application = "tolvenaireandroid";
constexpr std::size_t MaxVersionLength = 24;

// What \s matches in a regular expression over char.
bool regexBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Space, tab, line feed and carriage return around a whole document.
bool documentBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && regexBlank(text[at])) ++at;
    return at;
}

bool isObject(std::string_view body) {
    std::size_t first = 0;
    std::size_t last = body.size();
    while (first < last && documentBlank(body[first])) ++first;
    while (last > first && documentBlank(body[last - 1])) --last;
    return last > first && body[first] == '{' && body[last - 1] == '}';
}

// The value of the first string member `name` whose value holds no quote and no
// backslash, as the expression "name"\s*:\s*"([^"\\]*)" would find it; empty when
// there is none. Scanned by hand: the standard library's regex engine recurses once
// per repeated character and overflows a thread's stack on a value of a few
// thousand characters, well inside the 16 KiB an answer may have.
std::string field(std::string_view json, std::string_view name) {
    std::string key;
    key.reserve(name.size() + 2);
    key.append(1, '"').append(name).append(1, '"');
    for (std::size_t at = json.find(key); at != std::string_view::npos; at = json.find(key, at + 1)) {
        std::size_t i = skipBlanks(json, at + key.size());
        if (i >= json.size() || json[i] != ':') continue;
        i = skipBlanks(json, i + 1);
        if (i >= json.size() || json[i] != '"') continue;
        const std::size_t begin = i + 1;
        const std::size_t end = json.find_first_of("\"\\", begin);
        if (end == std::string_view::npos || json[end] != '"') continue;
        return std::string(json.substr(begin, end - begin));
    }
    return {};
}

// Whether "added" is followed by true or false and then by , or }, as the
// expression "added"\s*:\s*(true|false)\s*[,}] would find it (scanned by hand for
// the reason given at field).
bool hasAddedFlag(std::string_view json) {
    constexpr std::string_view key = "\"added\"";
    for (std::size_t at = json.find(key); at != std::string_view::npos; at = json.find(key, at + 1)) {
        std::size_t i = skipBlanks(json, at + key.size());
        if (i >= json.size() || json[i] != ':') continue;
        i = skipBlanks(json, i + 1);
        std::string_view rest = json.substr(i);
        if (rest.substr(0, 4) == "true") {
            i += 4;
        } else if (rest.substr(0, 5) == "false") {
            i += 5;
        } else {
            continue;
        }
        i = skipBlanks(json, i);
        if (i < json.size() && (json[i] == ',' || json[i] == '}')) return true;
    }
    return false;
}

std::array<std::uint32_t, 3> versionNumbers(std::string_view version) {
    std::array<std::uint32_t, 3> numbers{0, 0, 0};
    std::size_t group = 0;
    for (char c : version) {
        if (c == '.') {
            ++group;
        } else {
            // At most six digits per group: no overflow.
            numbers[group] = numbers[group] * 10 + static_cast<std::uint32_t>(c - '0');
        }
    }
    return numbers;
}

}  // namespace

bool validVersion(std::string_view text) {
    if (text.size() > MaxVersionLength) return false;
    // Two or three groups of one to six digits, dot-separated; scanned by hand, as
    // std::regex would cost the executable tens of kilobytes.
    int groups = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) ++digits;
        if (digits == 0 || digits > 6) return false;
        ++groups;
        if (at == text.size()) return groups >= 2;
        if (text[at] != '.' || groups == 3) return false;
        ++at;
    }
}

int compareVersions(std::string_view a, std::string_view b) {
    if (!validVersion(a) || !validVersion(b)) throw std::invalid_argument("Numéro de version invalide.");
    const auto left = versionNumbers(a);
    const auto right = versionNumbers(b);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

std::string parseLatest(std::string_view body) {
    if (!isObject(body) || field(body, "application") != Application) {
        throw std::runtime_error("Réponse de mise à jour invalide.");
    }
    std::string version = field(body, "version");
    if (!validVersion(version)) throw std::runtime_error("La version publiée sur le site est invalide.");
    return version;
}

std::wstring downloadUrl(std::string_view version) {
    if (!validVersion(version)) return {};
    std::wstring url = L"https://";
    url += likesHost();
    url += L"/download/tolvenaireandroid/";
    url.append(version.begin(), version.end());  // digits and dots only
    return url;
}

bool validVoteResponse(std::string_view body) {
    return isObject(body) && field(body, "application") == Application && field(body, "version") == VersionUtf8 &&
           hasAddedFlag(body);
}

}  // namespace remote
