#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "bluetooth/obex_push.h"

// A channel that delays the DISCONNECT after the last body packet was
// acknowledged, so the job can be seen in its final Sending report.
class HoldingChannel : public ObexChannel {
public:
    HoldingChannel(std::unique_ptr<ObexChannel> inner, std::atomic<bool>& release)
        : inner_(std::move(inner)), release_(release) {}
    void write(const unsigned char* data, unsigned long long size) override {
        if (size > 0 && data[0] == 0x81) {
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!release_.load() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        inner_->write(data, size);
    }
    void read(unsigned char* data, unsigned long long size) override { inner_->read(data, size); }

private:
    std::unique_ptr<ObexChannel> inner_;
    std::atomic<bool>& release_;
};
