#pragma once

// The one way tests open TCP sockets: listeners, clients and connected pairs on
// 127.0.0.0/8 through the platform's sockets, and reads and writes that always end
// (peer closed, enough bytes, or a deadline). Nothing here reaches another address.

#include "platform/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace testing_support {

// Starts the platform's socket library once per process (Winsock needs it).
inline bool socketsStarted() {
    static const bool started = platform::startSockets();
    return started;
}

inline void startSocketsOnce() { ASSERT_TRUE(socketsStarted()); }

// A dotted address inside 127.0.0.0/8; throws for anything else, so that a test
// cannot reach another address by mistake.
inline std::uint32_t loopbackAddress(const std::string& text = "127.0.0.1") {
    std::uint32_t address = 0;
    if (text.rfind("127.", 0) != 0 || !platform::parseIPv4(text, address)) {
        throw std::invalid_argument("not a loopback address: " + text);
    }
    return address;
}

// A listener on a loopback address; port 0 lets the system choose. Invalid when the
// port cannot be taken. `reuse` lets it take a port an earlier test left in
// TIME_WAIT; a second listener on a port is still refused.
inline platform::Socket listenOn(const std::string& address, std::uint16_t port, int backlog, bool reuse = false) {
    socketsStarted();
    platform::Socket listener(platform::openTcpSocket());
    if (!listener.valid()) return listener;
    if (reuse) {
        int one = 1;
        setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    }
    if (!platform::bindIPv4(listener.get(), loopbackAddress(address), port) ||
        !platform::listenOn(listener.get(), backlog)) {
        listener.reset();
    }
    return listener;
}

// A listener on 127.0.0.1 with a port chosen by the system.
inline platform::Socket loopbackListener() {
    startSocketsOnce();
    platform::Socket listener = listenOn("127.0.0.1", 0, 8);
    EXPECT_TRUE(listener.valid());
    return listener;
}

// A blocking client connected from `source` (port chosen by the system) to
// host:port. A small receive buffer makes a download stall once a little data is
// in flight. Throws std::runtime_error when the connection is refused.
inline platform::Socket connectFrom(const std::string& source, const std::string& host, std::uint16_t port,
                                    bool smallReceiveBuffer = false) {
    socketsStarted();
    platform::Socket client(platform::openTcpSocket());
    if (!client.valid()) throw std::runtime_error("test socket failed");
    if (smallReceiveBuffer) {
        int size = 4096;
        setsockopt(client.get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    }
    if (!platform::bindIPv4(client.get(), loopbackAddress(source), 0) ||
        !platform::connectIPv4(client.get(), loopbackAddress(host), port)) {
        throw std::runtime_error("test connect failed from " + source);
    }
    return client;
}

// Makes closing the socket send a reset (RST) instead of an orderly end: a zero
// linger time.
inline void resetOnClose(platform::SocketHandle socket) {
    const linger abortive{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
}

struct LoopbackPair {
    platform::Socket server;  // the accepted side, non-blocking like the link server's
    platform::Socket client;  // blocking
    std::uint32_t peerAddress = 0;
};

inline LoopbackPair loopbackPair() {
    LoopbackPair pair;
    platform::Socket listener = loopbackListener();
    pair.client.reset(platform::openTcpSocket());
    EXPECT_TRUE(platform::connectIPv4(pair.client.get(), loopbackAddress(), platform::localPort(listener.get())));
    pair.server.reset(platform::acceptConnection(listener.get(), pair.peerAddress));
    EXPECT_TRUE(pair.server.valid());
    EXPECT_TRUE(platform::setNonBlocking(pair.server.get()));
    return pair;
}

// Sends everything, blocking; false when the peer is gone.
inline bool sendAll(platform::SocketHandle socket, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        int count = platform::sendSome(socket, bytes + sent, size - sent);
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

inline bool sendAll(platform::SocketHandle socket, const std::string& data) {
    return sendAll(socket, data.data(), data.size());
}

// Reads until `limit` bytes have come, the peer closes or `timeout` passes (with
// `quiet`, `timeout` without a byte); `closed` tells whether the peer closed (or the
// connection failed).
inline std::string receiveFor(platform::SocketHandle socket, std::size_t limit, std::chrono::milliseconds timeout,
                              bool* closed = nullptr, bool quiet = false) {
    std::string data;
    char buffer[65536];
    if (closed) *closed = false;
    auto until = std::chrono::steady_clock::now() + timeout;
    while (data.size() < limit) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        const int ready = platform::waitSocket(socket, false, static_cast<int>(left < 100 ? left : 100));
        if (ready == 0) continue;
        const int count =
            ready < 0 ? -1 : platform::receiveSome(socket, buffer, std::min(sizeof buffer, limit - data.size()));
        if (count <= 0) {
            if (closed) *closed = true;
            break;
        }
        data.append(buffer, static_cast<std::size_t>(count));
        if (quiet) until = std::chrono::steady_clock::now() + timeout;
    }
    return data;
}

// Reads until the peer closes, or `limit` bytes, or 10 s pass without a byte.
inline std::string receiveAll(platform::SocketHandle socket, std::size_t limit = 1u << 26) {
    return receiveFor(socket, limit, std::chrono::seconds(10), nullptr, true);
}

}  // namespace testing_support
