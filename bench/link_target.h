#pragma once

// The private link as the benchmarks need it: where to connect, and the path before
// the page's names ("/" + token + "/").

#include <cstdint>
#include <cstdlib>
#include <string>

struct Target {
    std::string host;  // address:port
    std::string address;
    std::uint16_t port = 0;
    std::string base;  // "/" + token + "/"
};

inline bool parseLink(const std::string& link, Target& target) {
    const std::string scheme = "http://";
    if (link.compare(0, scheme.size(), scheme) != 0) return false;
    const auto slash = link.find('/', scheme.size());
    if (slash == std::string::npos) return false;
    target.host = link.substr(scheme.size(), slash - scheme.size());
    const auto colon = target.host.find(':');
    if (colon == std::string::npos) return false;
    target.address = target.host.substr(0, colon);
    target.port = static_cast<std::uint16_t>(std::atoi(target.host.c_str() + colon + 1));
    target.base = link.substr(slash);
    return true;
}
