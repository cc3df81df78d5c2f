#include "bluetooth/socket_channel.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/system.h"
#include "tests/support/loopback.h"
#include "tests/support/patterned.h"
#include "tests/support/raised.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(SocketChannel, MovesLargeBuffersBothWaysInPieces) {
    auto pair = testing_support::loopbackPair();
    const platform::SocketHandle client = pair.client.get();
    SocketChannel channel(std::move(pair.server), nullptr);

    const Bytes out = patterned<Bytes>(3 * 65536 + 17);
    std::string echoed;
    std::thread peer([&] { echoed = testing_support::receiveAll(client, out.size()); });
    channel.write(out.data(), out.size());
    peer.join();
    EXPECT_TRUE(echoed == std::string(out.begin(), out.end()));

    const std::string in(100000, 'z');
    std::thread sender([&] { testing_support::sendAll(client, in); });
    Bytes got(in.size());
    channel.read(got.data(), got.size());
    sender.join();
    EXPECT_TRUE(std::string(got.begin(), got.end()) == in);
}

TEST(SocketChannel, CancellationAndEmptyCalls) {
    auto pair = testing_support::loopbackPair();
    std::atomic<bool> cancel{true};
    SocketChannel channel(std::move(pair.server), &cancel);
    unsigned char byte = 0;
    EXPECT_NO_THROW(channel.read(&byte, 0));  // nothing to do, nothing to cancel
    EXPECT_NO_THROW(channel.write(&byte, 0));
    EXPECT_THROW(channel.read(&byte, 1), Cancelled);
    EXPECT_THROW(channel.write(&byte, 1), Cancelled);

    // A cancellation that arrives while the channel waits ends the wait.
    cancel = false;
    std::thread canceller([&] {
        const std::uint64_t until = platform::tickCount() + 50;
        while (platform::tickCount() < until) std::this_thread::yield();
        cancel = true;
    });
    EXPECT_THROW(channel.read(&byte, 1), Cancelled);
    canceller.join();
}

TEST(SocketChannel, DeadlinesAndAClosedPeer) {
    {
        auto pair = testing_support::loopbackPair();
        ChannelTimeouts quick;
        quick.readMs = 250;
        SocketChannel channel(std::move(pair.server), nullptr, quick);
        unsigned char byte = 0;
        const std::uint64_t begin = platform::tickCount();
        EXPECT_EQ(errorOf([&] { channel.read(&byte, 1); }),
                  "Delai Bluetooth depasse. Deverrouillez le telephone et acceptez le transfert.");
        EXPECT_GE(platform::tickCount() - begin, 250u);
    }
    {
        // The peer never reads: once the socket buffers are full the write deadline ends it.
        auto pair = testing_support::loopbackPair();
        ChannelTimeouts quick;
        quick.writeMs = 300;
        SocketChannel channel(std::move(pair.server), nullptr, quick);
        const Bytes lots(64u << 20);
        EXPECT_EQ(errorOf([&] { channel.write(lots.data(), lots.size()); }),
                  "Delai Bluetooth depasse. Deverrouillez le telephone et acceptez le transfert.");
    }
    {
        auto pair = testing_support::loopbackPair();
        testing_support::sendAll(pair.client.get(), "ab");
        pair.client.reset();
        SocketChannel channel(std::move(pair.server), nullptr);
        unsigned char buffer[3] = {};
        EXPECT_EQ(errorOf([&] { channel.read(buffer, 3); }), "Le telephone a ferme la connexion Bluetooth.");
        EXPECT_EQ(buffer[0], 'a');
    }
}

TEST(SocketChannel, TcpConnectFailureCarriesTheSystemReason) {
    testing_support::startSocketsOnce();
    // A port of ours that nobody listens on any more.
    std::uint16_t port;
    {
        platform::Socket listener = testing_support::loopbackListener();
        port = platform::localPort(listener.get());
    }
    const std::string message = errorOf([&] { connectTcpChannel(testing_support::loopbackAddress(), port, nullptr); });
    EXPECT_EQ(message.rfind("Connexion TCP impossible : ", 0), 0u) << message;
    EXPECT_EQ(message.back(), ')');
}

}  // namespace
