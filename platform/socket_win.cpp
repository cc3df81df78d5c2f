#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace platform {
namespace {

int clampLength(std::size_t length) { return static_cast<int>(std::min<std::size_t>(length, 0x7fffffff)); }

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

int waitSocket(SocketHandle socket, bool forWrite, int timeoutMs, int* socketError) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int result =
        select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, socketError ? &failed : nullptr, &timeout);
    if (result == SOCKET_ERROR) return -1;
    // The exception set is how Windows reports a failed non-blocking connect; it is
    // tested before readiness.
    if (socketError && FD_ISSET(socket, &failed)) {
        pendingSocketError(socket, *socketError);
        return -2;
    }
    return FD_ISSET(socket, &ready) ? 1 : 0;
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

bool listenOn(SocketHandle socket, int backlog) { return listen(socket, backlog) == 0; }

SocketHandle acceptConnection(SocketHandle listener, std::uint32_t& peerAddress) {
    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET accepted = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    peerAddress = accepted == INVALID_SOCKET ? 0 : peer.sin_addr.s_addr;
    return accepted;
}

}  // namespace platform
