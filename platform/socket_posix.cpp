#include "platform/socket.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
bool startSockets() { return true; }

void stopSockets() {}

void closeSocket(SocketHandle socket) { close(socket); }

bool setNonBlocking(SocketHandle socket) {
    int flags = fcntl(socket, F_GETFL);
    return flags != -1 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

void shutdownSocket(SocketHandle socket) { shutdown(socket, SHUT_RDWR); }

// poll rather than select: an fd_set silently overflows for descriptors of 1024 and up.
int waitSocket(SocketHandle socket, bool forWrite, int timeoutMs, int* socketError) {
    pollfd entry{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int result = poll(&entry, 1, timeoutMs);
    if (result < 0) return errno == EINTR ? 0 : -1;
    if (result == 0) return 0;
    // POLLERR is the counterpart of select's exception set for a failed connection,
    // which only a wait for writing can meet. While reading, POLLERR is a reset by the
    // peer: Windows shows that in the read set and recv reports it, so it is left to
    // recv here too. POLLHUP alone is left to recv/send, which report the closed peer.
    if (socketError && (entry.revents & POLLERR) && forWrite) {
        if (!pendingSocketError(socket, *socketError) || *socketError != 0) return -2;
    }
    if (entry.revents & POLLNVAL) {
        errno = EBADF;
        return -1;
    }
    return 1;
}

int receiveSome(SocketHandle socket, void* buffer, std::size_t length) {
    ssize_t result = recv(socket, buffer, std::min<std::size_t>(length, 0x7fffffff), 0);
    return static_cast<int>(result);
}

int sendSome(SocketHandle socket, const void* data, std::size_t length) {
    // A peer that has gone must not end the process with SIGPIPE.
    ssize_t result = send(socket, data, std::min<std::size_t>(length, 0x7fffffff), MSG_NOSIGNAL);
    return static_cast<int>(result);
}

int lastSocketError() { return errno; }

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

SocketHandle openTcpSocket() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

bool setExclusiveAddressUse(SocketHandle socket) {
    int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool listenOn(SocketHandle socket, int backlog) { return listen(socket, backlog) == 0; }

SocketHandle acceptConnection(SocketHandle listener, std::uint32_t& peerAddress) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int accepted = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    peerAddress = accepted < 0 ? 0 : peer.sin_addr.s_addr;
    return accepted < 0 ? invalidSocket : accepted;
}

}  // namespace platform
