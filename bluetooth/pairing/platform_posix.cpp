#include "bluetooth/pairing/authentication.h"

#include "platform/system.h"

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
    unsigned long long now() override { return platform::tickCount(); }
    bool random64(unsigned long long& value) override {
        return platform::systemRandom(reinterpret_cast<unsigned char*>(&value), sizeof value);
    }
};

}  // namespace

AuthenticationPlatform& systemAuthenticationPlatform() {
    static PosixPlatform platform;
    return platform;
}
