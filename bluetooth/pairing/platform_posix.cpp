#include "bluetooth/pairing/authentication.h"

#include <sys/random.h>
#include <time.h>

namespace {

// No pairing agent natively: registration and answers report "not supported" (50),
// which the callers treat as any other system failure.
constexpr unsigned long notSupported = 50;

class PosixPlatform final : public AuthenticationPlatform {
public:
    unsigned long registerListener(const BluetoothDeviceRecord&, void*, void*& handle) override {
        handle = nullptr;
        return notSupported;
    }
    void unregisterListener(void*) override {}
    unsigned long sendResponse(const AuthenticationResponse&) override { return notSupported; }
    bool postMessage(WindowHandle, unsigned, unsigned long long, long long) override { return false; }
    unsigned long long now() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<unsigned long long>(ts.tv_sec) * 1000ull +
               static_cast<unsigned long long>(ts.tv_nsec) / 1000000ull;
    }
    bool random64(unsigned long long& value) override {
        return getrandom(&value, sizeof value, 0) == static_cast<ssize_t>(sizeof value);
    }
};

}  // namespace

AuthenticationPlatform& systemAuthenticationPlatform() {
    static PosixPlatform platform;
    return platform;
}
