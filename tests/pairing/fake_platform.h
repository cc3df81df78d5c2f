#pragma once

// A stand-in for the Bluetooth stack, the clock and the random generator: it
// records what the pairing code hands to the system and lets a test set time.

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "bluetooth/pairing/authentication.h"

struct PostedMessage {
    WindowHandle window;
    unsigned message;
    unsigned long long wParam;
    long long lParam;
};

class FakePlatform : public AuthenticationPlatform {
public:
    FakePlatform() { setAuthenticationPlatform(this); }
    ~FakePlatform() override { setAuthenticationPlatform(nullptr); }

    unsigned long registerListener(const BluetoothDeviceRecord& device, void* context, void*& handle) override {
        std::lock_guard<std::mutex> lock(mutex);
        registeredAddress = device.address;
        lastContext = context;
        handle = registerResult == 0 ? &handleToken : nullptr;
        return registerResult;
    }
    void unregisterListener(void* handle) override {
        std::lock_guard<std::mutex> lock(mutex);
        unregistered.push_back(handle);
    }
    unsigned long sendResponse(const AuthenticationResponse& response) override {
        std::lock_guard<std::mutex> lock(mutex);
        responses.push_back(response);
        return sendResult;
    }
    bool postMessage(WindowHandle window, unsigned message, unsigned long long wParam, long long lParam) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (!postSucceeds) return false;
        posted.push_back({window, message, wParam, lParam});
        return deliver ? deliver(window, message, wParam, lParam) : true;
    }
    unsigned long long now() override {
        std::lock_guard<std::mutex> lock(mutex);
        return clock;
    }
    bool random64(unsigned long long& value) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (randomFails) return false;
        if (!scripted.empty()) {
            value = scripted.front();
            scripted.pop_front();
        } else {
            value = ++counter * 0x9E3779B97F4A7C15ull;
        }
        return true;
    }

    std::size_t postedCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return posted.size();
    }
    void setClock(unsigned long long value) {
        std::lock_guard<std::mutex> lock(mutex);
        clock = value;
    }

    std::mutex mutex;
    unsigned long registerResult = 0;
    unsigned long sendResult = 0;
    bool postSucceeds = true;
    bool randomFails = false;
    // Hands posted messages on to a real window system when set.
    std::function<bool(WindowHandle, unsigned, unsigned long long, long long)> deliver;
    std::deque<unsigned long long> scripted;  // random values handed out first
    unsigned long long counter = 0;
    unsigned long long clock = 1000000;
    unsigned long long registeredAddress = 0;
    void* lastContext = nullptr;
    int handleToken = 0;
    std::vector<void*> unregistered;
    std::vector<AuthenticationResponse> responses;
    std::vector<PostedMessage> posted;
};

inline AuthenticationParams request(unsigned long long address, std::uint32_t method = AuthMethod::numericComparison,
                                    std::uint32_t value = 123456, std::uint32_t io = IoCapability::displayYesNo) {
    AuthenticationParams params;
    params.device.address = address;
    params.device.name = L"Pixel";
    params.method = method;
    params.ioCapability = io;
    params.numericValue = value;
    return params;
}
