#include "bluetooth/socket_channel.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "bluetooth/windows_error.h"
#include "platform/system.h"

namespace {
constexpr int pollSliceMs = 200;
constexpr std::size_t ioPiece = 65536;
}  // namespace

SocketChannel::SocketChannel(platform::Socket socket_, const std::atomic<bool>* cancel_, ChannelTimeouts timeouts_)
    : socket(std::move(socket_)), cancel(cancel_), timeouts(timeouts_) {}

void SocketChannel::wait(bool forWrite, std::uint64_t deadline) {
    for (;;) {
        if (cancel && cancel->load()) throw Cancelled();
        const std::uint64_t now = platform::tickCount();
        if (now > deadline)
            throw std::runtime_error("Delai Bluetooth depasse. Deverrouillez le telephone et acceptez le transfert.");
        // A short last slice keeps the deadline exact.
        const int slice = static_cast<int>(std::min<std::uint64_t>(pollSliceMs, deadline - now + 1));
        int socketError = 0;
        const int result = platform::waitSocket(socket.get(), forWrite, slice, &socketError);
        if (result == -1)
            throw std::runtime_error("Connexion Bluetooth interrompue : " +
                                     windowsError(static_cast<unsigned long>(platform::lastSocketError())));
        if (result == -2)
            throw std::runtime_error("Connexion Bluetooth impossible : " +
                                     windowsError(static_cast<unsigned long>(socketError)));
        if (result == 1) return;
    }
}

void SocketChannel::write(const unsigned char* data, unsigned long long size) {
    std::uint64_t deadline = platform::tickCount() + timeouts.writeMs;
    unsigned long long done = 0;
    while (done < size) {
        wait(true, deadline);
        const std::size_t piece = static_cast<std::size_t>(std::min<unsigned long long>(size - done, ioPiece));
        const int count = platform::sendSome(socket.get(), data + done, piece);
        if (count < 0) {
            const int error = platform::lastSocketError();
            if (platform::wouldBlock(error)) continue;
            throw std::runtime_error("Envoi Bluetooth interrompu : " + windowsError(static_cast<unsigned long>(error)));
        }
        if (count == 0)
            throw std::runtime_error("Envoi Bluetooth interrompu : " +
                                     windowsError(static_cast<unsigned long>(platform::lastSocketError())));
        done += static_cast<unsigned long long>(count);
        deadline = platform::tickCount() + timeouts.writeMs;
    }
}

void SocketChannel::read(unsigned char* data, unsigned long long size) {
    const std::uint64_t deadline = platform::tickCount() + timeouts.readMs;
    unsigned long long done = 0;
    while (done < size) {
        wait(false, deadline);
        const std::size_t piece = static_cast<std::size_t>(std::min<unsigned long long>(size - done, ioPiece));
        const int count = platform::receiveSome(socket.get(), data + done, piece);
        if (count < 0 && platform::wouldBlock(platform::lastSocketError())) continue;
        if (count <= 0) throw std::runtime_error("Le telephone a ferme la connexion Bluetooth.");
        done += static_cast<unsigned long long>(count);
    }
}

std::unique_ptr<SocketChannel> connectTcpChannel(std::uint32_t address, std::uint16_t port,
                                                 const std::atomic<bool>* cancel, ChannelTimeouts timeouts) {
    platform::Socket socket(platform::openTcpSocket());
    if (!socket.valid() || !platform::connectIPv4(socket.get(), address, port) ||
        !platform::setNonBlocking(socket.get()))
        throw std::runtime_error("Connexion TCP impossible : " +
                                 windowsError(static_cast<unsigned long>(platform::lastSocketError())));
    return std::make_unique<SocketChannel>(std::move(socket), cancel, timeouts);
}
