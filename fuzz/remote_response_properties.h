#pragma once

// What the readers of the version site's and the like counter's answers must do with
// any body: shared by the fuzzer and by the test that replays its corpus. For bodies
// short enough for the standard regex engine, the expected result comes from the
// regular expressions that describe the members and from a version reader written
// by hand; longer ones are checked for the properties every result must have.

#include "remote/remote.h"

#include <cstddef>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>

namespace remotecheck {

// The standard engine recurses per character; beyond this it may exhaust the stack.
constexpr std::size_t regexLimit = 512;

inline std::string regexMember(const std::string& body, const std::regex& member) {
    std::smatch match;
    return std::regex_search(body, match, member) ? match[1].str() : std::string();
}

inline std::string regexMember(const std::string& body, const char* name) {
    static const std::regex application(R"x("application"\s*:\s*"([^"\\]*)")x", std::regex::ECMAScript);
    static const std::regex version(R"x("version"\s*:\s*"([^"\\]*)")x", std::regex::ECMAScript);
    return regexMember(body, std::string(name) == "version" ? version : application);
}

inline bool regexObject(const std::string& body) {
    static const std::regex object(R"([ \t\r\n]*\{[\s\S]*\}[ \t\r\n]*)", std::regex::ECMAScript);
    return std::regex_match(body, object);
}

// A published version: two or three groups of one to six decimal digits, joined by
// single dots (so never more than 20 characters).
inline bool versionForm(std::string_view text) {
    int groups = 1;
    std::size_t digits = 0;
    for (char c : text) {
        if (c == '.') {
            if (digits == 0 || ++groups > 3) return false;
            digits = 0;
        } else if (c < '0' || c > '9' || ++digits > 6) {
            return false;
        }
    }
    return digits > 0 && groups >= 2;
}

// "" or the property broken by parseLatest, validVoteResponse, validVersion,
// compareVersions or downloadUrl for this body.
inline const char* responseFault(std::string_view view) {
    const std::string body(view);
    std::string latest, failure;
    try {
        latest = remote::parseLatest(body);
    } catch (const std::runtime_error& e) {
        failure = e.what();
    } catch (...) {
        return "parseLatest raised something else than its two errors";
    }
    const bool vote = remote::validVoteResponse(body);

    if (failure.empty()) {
        if (!remote::validVersion(latest)) return "parseLatest returned an invalid version";
        if (body.find("\"" + latest + "\"") == std::string::npos) return "returned version is not in the body";
        if (remote::compareVersions(latest, latest) != 0) return "a version differs from itself";
        const std::wstring url = remote::downloadUrl(latest);
        if (url.size() < latest.size() ||
            url.compare(url.size() - latest.size(), latest.size(), std::wstring(latest.begin(), latest.end())) != 0)
            return "download page does not end with the version";
    } else if (failure != "Réponse de mise à jour invalide." &&
               failure != "La version publiée sur le site est invalide.") {
        return "parseLatest raised an unknown message";
    }
    if (vote && (body.find("tolvenaireandroid") == std::string::npos ||
                 body.find(remote::VersionUtf8) == std::string::npos || body.find("\"added\"") == std::string::npos))
        return "vote confirmed without product, version and added flag";

    if (body.size() <= regexLimit) {
        std::string expected;
        if (!regexObject(body) || regexMember(body, "application") != "tolvenaireandroid") {
            expected = "Réponse de mise à jour invalide.";
        } else {
            const std::string version = regexMember(body, "version");
            expected = versionForm(version) ? "version " + version : "La version publiée sur le site est invalide.";
        }
        if ((failure.empty() ? "version " + latest : failure) != expected)
            return "parseLatest disagrees with the expressions";

        static const std::regex added(R"("added"\s*:\s*(true|false)\s*[,}])", std::regex::ECMAScript);
        const bool expectedVote = regexObject(body) && regexMember(body, "application") == "tolvenaireandroid" &&
                                  regexMember(body, "version") == remote::VersionUtf8 && std::regex_search(body, added);
        if (vote != expectedVote) return "validVoteResponse disagrees with the expressions";
    }

    if (remote::validVersion(body) != versionForm(body)) return "validVersion disagrees with the version form";
    // Two versions around a '|': compared as numbers, groups missing taken as 0.
    const std::size_t bar = body.find('|');
    if (bar != std::string::npos) {
        const std::string a = body.substr(0, bar), b = body.substr(bar + 1);
        if (versionForm(a) && versionForm(b)) {
            auto groups = [](const std::string& v) {
                unsigned long g[3] = {0, 0, 0};
                std::size_t at = 0;
                for (int k = 0; k < 3 && at <= v.size(); ++k) {
                    const std::size_t dot = v.find('.', at);
                    g[k] = std::stoul(v.substr(at, dot == std::string::npos ? std::string::npos : dot - at));
                    if (dot == std::string::npos) break;
                    at = dot + 1;
                }
                return std::to_string(g[0] + 1000000) + std::to_string(g[1] + 1000000) + std::to_string(g[2] + 1000000);
            };
            const std::string ga = groups(a), gb = groups(b);
            const int expectedOrder = ga < gb ? -1 : (ga > gb ? 1 : 0);
            if (remote::compareVersions(a, b) != expectedOrder) return "compareVersions disagrees with the numbers";
        } else {
            try {
                remote::compareVersions(a, b);
                return "compareVersions accepted an invalid version";
            } catch (const std::invalid_argument&) {}
        }
    }
    return "";
}

}  // namespace remotecheck
