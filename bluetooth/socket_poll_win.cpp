#include "bluetooth/socket_channel.h"

#include <winsock2.h>

int pollChannelSocket(platform::SocketHandle socket, bool forWrite, int timeoutMs, int& socketError) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int result = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &timeout);
    if (result == SOCKET_ERROR) return -1;
    // The exception set is how Windows reports a failed non-blocking connect; it is
    // tested before readiness.
    if (FD_ISSET(socket, &failed)) {
        pendingSocketError(socket, socketError);
        return -2;
    }
    return FD_ISSET(socket, &ready) ? 1 : 0;
}

bool pendingSocketError(platform::SocketHandle socket, int& error) {
    int value = 0;
    int length = sizeof value;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &length) != 0) {
        error = WSAGetLastError();
        return false;
    }
    error = value;
    return true;
}
