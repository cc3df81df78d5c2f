#pragma once

#include "platform/socket.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// Connected TCP pairs over 127.0.0.1 for tests; nothing leaves the loopback.
namespace testing_support {

inline void startSocketsOnce() {
    static const bool started = platform::startSockets();
    ASSERT_TRUE(started);
}

inline std::uint32_t loopbackAddress() {
    std::uint32_t address = 0;
    platform::parseIPv4("127.0.0.1", address);
    return address;
}

// A listener on 127.0.0.1 with a port chosen by the system.
inline platform::Socket loopbackListener() {
    startSocketsOnce();
    platform::Socket listener(platform::openTcpSocket());
    EXPECT_TRUE(listener.valid());
    EXPECT_TRUE(platform::bindIPv4(listener.get(), loopbackAddress(), 0));
    EXPECT_TRUE(platform::listenOn(listener.get(), 8));
    return listener;
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

// Blocking helpers for the client side.
inline bool sendAll(platform::SocketHandle socket, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        int count = platform::sendSome(socket, data.data() + sent, data.size() - sent);
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

// Reads until the peer closes, or `limit` bytes, or 10 s pass.
inline std::string receiveAll(platform::SocketHandle socket, std::size_t limit = 1u << 26) {
    std::string data;
    char buffer[65536];
    for (int rounds = 0; rounds < 100 && data.size() < limit;) {
        int ready = platform::waitSocket(socket, false, 100);
        if (ready < 0) break;
        if (ready == 0) {
            ++rounds;
            continue;
        }
        int count = platform::receiveSome(socket, buffer, sizeof buffer);
        if (count <= 0) break;
        data.append(buffer, static_cast<std::size_t>(count));
        rounds = 0;
    }
    return data;
}

}  // namespace testing_support
