#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "bluetooth/obex_push.h"
#include "tests/support/eventually.h"

// A channel that delays the DISCONNECT after the last body packet was
// acknowledged, so the job can be seen in its final Sending report.
class HoldingChannel : public ObexChannel {
public:
    HoldingChannel(std::unique_ptr<ObexChannel> inner, std::atomic<bool>& release)
        : inner_(std::move(inner)), release_(release) {}
    void write(const unsigned char* data, unsigned long long size) override {
        if (size > 0 && data[0] == 0x81) eventually([this] { return release_.load(); });
        inner_->write(data, size);
    }
    void read(unsigned char* data, unsigned long long size) override { inner_->read(data, size); }

private:
    std::unique_ptr<ObexChannel> inner_;
    std::atomic<bool>& release_;
};
