#pragma once

// A channel for tests: records every write as one packet and answers reads from
// responses queued in advance. Reading past the script is an error, so a client
// that waits for an answer nobody scripted fails instead of hanging.

#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "bluetooth/obex_push.h"
#include "tests/support/raised.h"

using Bytes = std::vector<unsigned char>;

class ScriptedChannel : public ObexChannel {
public:
    std::vector<Bytes> writes;
    std::deque<unsigned char> pending;
    std::size_t failWrite = static_cast<std::size_t>(-1);  // index of the write that raises

    void respond(const Bytes& packet) { pending.insert(pending.end(), packet.begin(), packet.end()); }

    void write(const unsigned char* data, unsigned long long size) override {
        if (writes.size() == failWrite) {
            ++failWrite;  // counted, so later writes are not mistaken for it
            throw std::runtime_error("scripted write failure");
        }
        writes.emplace_back(data, data + size);
    }

    void read(unsigned char* data, unsigned long long size) override {
        if (pending.size() < size) throw std::runtime_error("read past the script");
        for (unsigned long long i = 0; i < size; ++i) {
            data[i] = pending.front();
            pending.pop_front();
        }
    }
};

// A response packet: code, big-endian length, extra bytes.
inline Bytes packet(unsigned char code, const Bytes& rest = {}) {
    Bytes out{code, static_cast<unsigned char>((rest.size() + 3) >> 8),
              static_cast<unsigned char>((rest.size() + 3) & 0xFF)};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

// A successful CONNECT response: version 1.0, no flags, the peer's maximum, headers.
inline Bytes connectResponse(unsigned maxPacket, const Bytes& headers = {}) {
    Bytes rest{0x10, 0x00, static_cast<unsigned char>(maxPacket >> 8),
               static_cast<unsigned char>(maxPacket & 0xFF)};
    rest.insert(rest.end(), headers.begin(), headers.end());
    return packet(0xA0, rest);
}

inline const Bytes connectionIdHeader{0xCB, 0x12, 0x34, 0x56, 0x78};
