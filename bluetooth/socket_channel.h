#pragma once

// The OBEX channel over a connected non-blocking stream socket: RFCOMM to the phone
// in the product, TCP for the tools and the tests. Every wait is sliced into 200 ms
// polls so that a cancellation is seen within that time.

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

#include "bluetooth/obex_push.h"
#include "platform/socket.h"

// Ends a job on the user's request; carries no text.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "Cancelled"; }
};

struct ChannelTimeouts {
    // Until the phone's service answers the connection; Windows holds it while it pairs,
    // so it outlasts a pairing request (60 s) and the bonding after it.
    std::uint64_t connectMs = 75000;
    std::uint64_t writeMs = 15000;  // renewed after every successful send
    std::uint64_t readMs = 90000;   // one deadline per read call: the user's time to accept
};

class SocketChannel : public ObexChannel {
public:
    // Takes a socket that is (or is becoming) connected and already non-blocking.
    // `cancel` may be null when nothing can cancel.
    SocketChannel(platform::Socket socket, const std::atomic<bool>* cancel, ChannelTimeouts timeouts = {});

    // Returns when the socket is ready for writing (or reading); raises Cancelled,
    // the time-out, or the socket's pending error. `deadline` is in tickCount() ms.
    void wait(bool forWrite, std::uint64_t deadline);
    void write(const unsigned char* data, unsigned long long size) override;
    void read(unsigned char* data, unsigned long long size) override;

    platform::SocketHandle handle() const { return socket.get(); }
    const ChannelTimeouts& limits() const { return timeouts; }

private:
    platform::Socket socket;
    const std::atomic<bool>* cancel;
    ChannelTimeouts timeouts;
};

// A TCP channel to an IPv4 address (network byte order) with the same deadlines as
// the phone's. Raises "Connexion TCP impossible : " + the system's text.
std::unique_ptr<SocketChannel> connectTcpChannel(std::uint32_t address, std::uint16_t port,
                                                 const std::atomic<bool>* cancel, ChannelTimeouts timeouts = {});

// The product's road: an authenticated, encrypted RFCOMM connection to the Object
// Push service of the phone with that 48-bit address. Where the system has no
// RFCOMM sockets of the Windows kind it fails as a socket that cannot be created.
std::unique_ptr<SocketChannel> connectRfcomm(unsigned long long address, const std::atomic<bool>& cancel,
                                             ChannelTimeouts timeouts = {});
