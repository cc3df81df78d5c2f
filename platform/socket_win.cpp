#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <string>

namespace platform {
namespace {

int clampLength(std::size_t length) { return static_cast<int>(std::min<std::size_t>(length, 0x7fffffff)); }

sockaddr_in ipv4(std::uint32_t address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(port);
    return result;
}

}  // namespace

bool startSockets() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSockets() { WSACleanup(); }

void closeSocket(SocketHandle socket) { closesocket(socket); }

bool setNonBlocking(SocketHandle socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

void shutdownSocket(SocketHandle socket) { shutdown(socket, SD_BOTH); }

int waitSocket(SocketHandle socket, bool forWrite, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int result = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &timeout);
    if (result == SOCKET_ERROR) return -1;
    return result > 0 ? 1 : 0;
}

int receiveSome(SocketHandle socket, void* buffer, std::size_t length) {
    int result = recv(socket, static_cast<char*>(buffer), clampLength(length), 0);
    return result == SOCKET_ERROR ? -1 : result;
}

int sendSome(SocketHandle socket, const void* data, std::size_t length) {
    int result = send(socket, static_cast<const char*>(data), clampLength(length), 0);
    return result == SOCKET_ERROR ? -1 : result;
}

int lastSocketError() { return WSAGetLastError(); }

bool wouldBlock(int error) { return error == WSAEWOULDBLOCK; }

SocketHandle openTcpSocket() { return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

bool setExclusiveAddressUse(SocketHandle socket) {
    BOOL on = TRUE;
    return setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool bindIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in local = ipv4(address, port);
    return bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool listenOn(SocketHandle socket, int backlog) { return listen(socket, backlog) == 0; }

SocketHandle acceptConnection(SocketHandle listener, std::uint32_t& peerAddress) {
    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET accepted = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    peerAddress = accepted == INVALID_SOCKET ? 0 : peer.sin_addr.s_addr;
    return accepted;
}

std::uint16_t localPort(SocketHandle socket) {
    sockaddr_in local{};
    int length = sizeof local;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

bool connectIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in remote = ipv4(address, port);
    return connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0;
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
