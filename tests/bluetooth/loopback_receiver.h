#pragma once

// A minimal OBEX Object Push receiver on 127.0.0.1 for tests of the sending job:
// one connection, answers as scripted, keeps what it was sent. Every wait is
// bounded, so a broken client fails the test instead of hanging it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/socket_channel.h"
#include "platform/socket.h"
#include "platform/system.h"
#include "tests/bluetooth/holding_channel.h"
#include "tests/support/eventually.h"
#include "tests/support/loopback.h"
#include "tests/support/obex_packets.h"

namespace receiver {

using Bytes = std::vector<unsigned char>;

struct Script {
    unsigned maxPacket = 1024;
    Bytes connectHeaders;  // e.g. a Connection ID
    unsigned char offerAnswer = 0x90;
    bool holdOffer = false;        // withhold the answer to the offer until release()
    bool closeAfterOffer = false;  // hang up instead of answering the offer
    // Misbehaves on the client's packet number `faultAt` (0 = CONNECT, 1 = offer,
    // then the body packets and the DISCONNECT) instead of answering it.
    // Reset hangs up with a reset (RST) instead of an orderly close.
    enum class Fault { Close, Stall, Answer, Reset };
    std::size_t faultAt = static_cast<std::size_t>(-1);
    Fault fault = Fault::Close;
    Bytes faultAnswer{};  // sent as is for Fault::Answer, then silence until the client leaves
};

struct Received {
    Bytes nameValue;  // as on the wire: UTF-16 units, high byte first, with terminator
    std::string type;
    std::uint32_t length = 0;
    Bytes body;
    std::size_t bodyPackets = 0;
    bool disconnected = false;  // the client said DISCONNECT
};

class LoopbackReceiver {
public:
    explicit LoopbackReceiver(Script script_)
        : script(std::move(script_)), listener(testing_support::listenOn("127.0.0.1", 0, 1)) {
        if (!listener.valid()) throw std::runtime_error("test receiver cannot listen");
        port_ = platform::localPort(listener.get());
        thread = std::thread([this] { serve(); });
    }
    ~LoopbackReceiver() {
        stop = true;
        thread.join();
    }

    std::uint16_t port() const { return port_; }
    std::uint32_t loopback() const { return testing_support::loopbackAddress(); }
    void release() { released = true; }
    bool offerSeen() const { return offered; }
    // Waits (bounded) until the connection is over, then returns what arrived.
    Received result() {
        eventually([this] { return finished.load(); }, std::chrono::seconds(60));
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
    bool finishedServing() const { return finished; }
    // The client packets read, the one it misbehaved on included.
    std::size_t packetsSeen() const { return packets; }
    bool faulted() const { return misbehaved; }

private:
    // Reads exactly n bytes; false when the peer closed or time ran out.
    bool readExact(platform::SocketHandle s, unsigned char* out, std::size_t n, std::uint64_t deadline) {
        std::size_t done = 0;
        while (done < n) {
            if (stop || platform::tickCount() > deadline) return false;
            const int ready = platform::waitSocket(s, false, 20);
            if (ready < 0) return false;
            if (ready == 0) continue;
            const int got = platform::receiveSome(s, out + done, n - done);
            if (got <= 0) return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
    static void answer(platform::SocketHandle s, const Bytes& p) { testing_support::sendAll(s, p.data(), p.size()); }
    void keep(const Bytes& p, std::size_t at) {
        std::lock_guard<std::mutex> lock(mutex);
        while (at < p.size()) {
            const unsigned char h = p[at];
            if (h >= 0xC0) {
                if (h == 0xC3 && at + 5 <= p.size())
                    received.length =
                        (std::uint32_t(p[at + 1]) << 24) | (p[at + 2] << 16) | (p[at + 3] << 8) | p[at + 4];
                at += 5;
            } else if (h >= 0x80) {
                at += 2;
            } else {
                if (at + 3 > p.size()) return;
                const std::size_t len = (p[at + 1] << 8) | p[at + 2];
                if (len < 3 || at + len > p.size()) return;
                const Bytes value(p.begin() + at + 3, p.begin() + at + len);
                if (h == 0x01) received.nameValue = value;
                if (h == 0x42) received.type.assign(value.begin(), value.end() - (value.empty() ? 0 : 1));
                if (h == 0x48 || h == 0x49) {
                    received.body.insert(received.body.end(), value.begin(), value.end());
                    ++received.bodyPackets;
                }
                at += len;
            }
        }
    }
    // Reads and drops whatever comes until the client hangs up (bounded).
    void drainUntilGone(platform::SocketHandle s, std::uint64_t deadline) {
        unsigned char sink[512];
        while (!stop && platform::tickCount() < deadline) {
            const int ready = platform::waitSocket(s, false, 10);
            if (ready < 0) return;
            if (ready == 1 && platform::receiveSome(s, sink, sizeof sink) <= 0) return;
        }
    }
    void serve() {
        const std::uint64_t deadline = platform::tickCount() + 60000;
        platform::Socket peer;
        while (!stop && platform::tickCount() < deadline) {
            if (platform::waitSocket(listener.get(), false, 20) == 1) {
                std::uint32_t from = 0;
                peer.reset(platform::acceptConnection(listener.get(), from));
                break;
            }
        }
        bool offerDone = false;
        while (peer.valid()) {
            Bytes p(3);
            if (!readExact(peer.get(), p.data(), 3, deadline)) break;
            const std::size_t len = (p[1] << 8) | p[2];
            if (len < 3) break;
            p.resize(len);
            if (!readExact(peer.get(), p.data() + 3, len - 3, deadline)) break;
            const unsigned char op = p[0];
            if (packets++ == script.faultAt) {
                misbehaved = true;
                if (script.fault == Script::Fault::Answer) answer(peer.get(), script.faultAnswer);
                if (script.fault == Script::Fault::Stall || script.fault == Script::Fault::Answer)
                    drainUntilGone(peer.get(), deadline);
                if (script.fault == Script::Fault::Reset) testing_support::resetOnClose(peer.get());
                break;
            }
            if (op == 0x80) {
                answer(peer.get(), connectResponse(script.maxPacket, script.connectHeaders));
            } else if (op == 0x81) {
                std::lock_guard<std::mutex> lock(mutex);
                received.disconnected = true;
                break;
            } else if (!offerDone) {
                offerDone = true;
                keep(p, 3);
                offered = true;
                if (script.closeAfterOffer) break;
                if (script.holdOffer) {
                    // Answer only when released; a client that gives up closes the socket.
                    bool gone = false;
                    while (!released && !gone) {
                        gone = stop || platform::tickCount() > deadline ||
                               platform::waitSocket(peer.get(), false, 10) == 1;
                    }
                    if (gone) break;
                }
                answer(peer.get(), packet(script.offerAnswer));
            } else {
                keep(p, 3);
                answer(peer.get(), packet(op == 0x82 ? 0xA0 : 0x90));
            }
        }
        finished = true;
    }

    Script script;
    platform::Socket listener;
    std::uint16_t port_ = 0;
    std::thread thread;
    std::atomic<bool> stop{false}, released{false}, offered{false}, finished{false}, misbehaved{false};
    std::atomic<std::size_t> packets{0};
    std::mutex mutex;
    Received received;
};

// The transfer job's road to `phone`, whatever address it is given; with
// `holdDisconnect`, the DISCONNECT waits until it is set.
inline BluetoothTransfer::Connector connectorTo(LoopbackReceiver& phone, ChannelTimeouts timeouts = {},
                                                std::atomic<bool>* holdDisconnect = nullptr) {
    return [&phone, timeouts, holdDisconnect](unsigned long long, const std::atomic<bool>& cancel) {
        std::unique_ptr<ObexChannel> channel = connectTcpChannel(phone.loopback(), phone.port(), &cancel, timeouts);
        if (holdDisconnect) channel = std::make_unique<HoldingChannel>(std::move(channel), *holdDisconnect);
        return channel;
    };
}

}  // namespace receiver
