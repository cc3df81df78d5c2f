// The socket calls that read the same on Winsock and BSD sockets.

#include "platform/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using AddressLength = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
using AddressLength = socklen_t;
#endif

#include <string>

namespace platform {
namespace {

sockaddr_in ipv4(std::uint32_t address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(port);
    return result;
}

}  // namespace

bool bindIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in local = ipv4(address, port);
    return bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in local{};
    AddressLength length = sizeof local;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

bool connectIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in remote = ipv4(address, port);
    return connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0;
}

bool pendingSocketError(SocketHandle socket, int& error) {
    int value = 0;
    AddressLength length = sizeof value;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length) != 0) {
        error = lastSocketError();
        return false;
    }
    error = value;
    return true;
}

bool parseIPv4(std::string_view text, std::uint32_t& address) {
    std::string copy(text);  // inet_pton needs a terminated string
    if (copy.find('\0') != std::string::npos) return false;
    in_addr parsed{};
    if (inet_pton(AF_INET, copy.c_str(), &parsed) != 1) return false;
    address = parsed.s_addr;
    return true;
}

}  // namespace platform
