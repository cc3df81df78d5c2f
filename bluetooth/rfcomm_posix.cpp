#include "bluetooth/socket_channel.h"

#include <cerrno>
#include <stdexcept>

#include "bluetooth/windows_error.h"

// This build has no RFCOMM sockets of the Windows address family: the road ends
// where a Windows PC without Bluetooth ends it, at socket creation.
std::unique_ptr<SocketChannel> connectRfcomm(unsigned long long, const std::atomic<bool>&, ChannelTimeouts) {
    throw std::runtime_error("Bluetooth Windows indisponible : " + windowsError(EAFNOSUPPORT));
}
