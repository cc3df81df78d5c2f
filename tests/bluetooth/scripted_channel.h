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
#include "tests/support/obex_packets.h"
#include "tests/support/raised.h"

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
