#include "bluetooth/socket_channel.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

int pollChannelSocket(platform::SocketHandle socket, bool forWrite, int timeoutMs, int& socketError) {
    pollfd entry{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const int result = poll(&entry, 1, timeoutMs);
    if (result < 0) return errno == EINTR ? 0 : -1;
    if (result == 0) return 0;
    // POLLERR is the counterpart of select's exception set for a failed connection,
    // which only a wait for writing can meet. While reading, POLLERR is a reset by
    // the peer: Windows shows that in the read set and recv reports it, so it is left
    // to recv here too. POLLHUP alone is left to recv/send, which report the closed
    // peer themselves.
    if ((entry.revents & POLLERR) && forWrite) {
        if (!pendingSocketError(socket, socketError) || socketError != 0) return -2;
    }
    if (entry.revents & POLLNVAL) {
        errno = EBADF;
        return -1;
    }
    return 1;
}

bool pendingSocketError(platform::SocketHandle socket, int& error) {
    int value = 0;
    socklen_t length = sizeof value;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &value, &length) != 0) {
        error = errno;
        return false;
    }
    error = value;
    return true;
}
