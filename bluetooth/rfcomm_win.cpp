#include "bluetooth/socket_channel.h"

#include <winsock2.h>
#include <ws2bth.h>

#include <stdexcept>
#include <string>

#include "bluetooth/windows_error.h"
#include "platform/system.h"

namespace {

// OBEX Object Push service class 00001105-0000-1000-8000-00805F9B34FB: the system
// finds the phone's RFCOMM channel for it through SDP.
constexpr GUID objectPushService = {0x00001105, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

std::string lastError() { return windowsError(static_cast<unsigned long>(WSAGetLastError())); }

}  // namespace

std::unique_ptr<SocketChannel> connectRfcomm(unsigned long long address, const std::atomic<bool>& cancel,
                                             ChannelTimeouts timeouts) {
    const SOCKET s = socket(AF_BTH, SOCK_STREAM, BTHPROTO_RFCOMM);
    if (s == INVALID_SOCKET) throw std::runtime_error("Bluetooth Windows indisponible : " + lastError());
    // Owned from here on: any failure below closes the socket.
    auto channel = std::make_unique<SocketChannel>(platform::Socket(s), &cancel, timeouts);

    if (!platform::setNonBlocking(s)) throw std::runtime_error("Configuration Bluetooth impossible.");

    ULONG required = 1;
    if (setsockopt(s, SOL_RFCOMM, SO_BTH_AUTHENTICATE, reinterpret_cast<const char*>(&required), sizeof required) !=
            0 ||
        setsockopt(s, SOL_RFCOMM, SO_BTH_ENCRYPT, reinterpret_cast<const char*>(&required), sizeof required) != 0)
        throw std::runtime_error("Protection de la connexion Bluetooth impossible : " + lastError());

    SOCKADDR_BTH peer{};
    peer.addressFamily = AF_BTH;
    peer.btAddr = address;
    peer.serviceClassId = objectPushService;
    peer.port = 0;
    if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
            throw std::runtime_error("Recepteur de fichiers Bluetooth introuvable : " +
                                     windowsError(static_cast<unsigned long>(error)));
        channel->wait(true, platform::tickCount() + timeouts.connectMs);
        int value = 0;
        if (!platform::pendingSocketError(s, value) || value != 0)
            throw std::runtime_error("Connexion Bluetooth impossible : " +
                                     windowsError(static_cast<unsigned long>(value)));
    }
    return channel;
}
