#pragma once

// The private link as the benchmarks need it: where to connect, and the path before
// the page's names ("/" + token + "/").

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A socket connected from `source` (each phone its own loopback address) to the link,
// or -1 (refused, reset). A `receiveBuffer` other than 0 sets the socket's own.
inline int connectFrom(const Target& target, const std::string& source, int receiveBuffer = 0) {
    const int s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s < 0) return -1;
    if (receiveBuffer != 0) setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    inet_pton(AF_INET, target.address.c_str(), &to.sin_addr);
    to.sin_port = htons(target.port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}
