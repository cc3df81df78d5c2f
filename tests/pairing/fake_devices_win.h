#pragma once

// A stand-in for the picker and the system's pairing call. The pairing call runs
// on the dialog's pairing thread: it can deliver a request through the listener
// the dialog registered, as the stack would, then waits (bounded) for the answer.

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "bluetooth/pairing/pairing_win.h"
#include "tests/pairing/fake_platform.h"
#include "tests/support/eventually.h"

class FakeDevices : public DeviceSystem {
public:
    explicit FakeDevices(FakePlatform& platform) : platform(platform) { setDeviceSystem(this); }
    ~FakeDevices() override { setDeviceSystem(nullptr); }

    bool radioPresent() override { return radio; }
    // As the system's picker: it refuses a structure of another size, lists a device
    // only where the parameters show its kind, pairs an unpaired device itself when
    // told to force authentication, and adds the wizard or the services page when asked.
    bool selectDevices(BLUETOOTH_SELECT_DEVICE_PARAMS& params, DWORD& error) override {
        seenParams = params;
        seenInfo = params.pszInfo ? params.pszInfo : L"";
        if (params.dwSize != sizeof params) {
            error = ERROR_REVISION_MISMATCH;
            return false;
        }
        extraPages += (params.fAddNewDeviceWizard ? 1 : 0) + (params.fSkipServicesPage ? 0 : 1);
        if (pickerError != 0 || pickerCancelledSilently) {
            error = pickerError;
            return false;
        }
        for (BLUETOOTH_DEVICE_INFO& device : picked) {
            const BOOL shown = device.fAuthenticated ? params.fShowAuthenticated
                               : device.fRemembered  ? params.fShowRemembered
                                                     : params.fShowUnknown;
            if (!shown || params.cNumOfClasses != 0 ||
                (params.pfnDeviceCallback && !params.pfnDeviceCallback(params.pvParam, &device))) {
                error = ERROR_CANCELLED;  // the user finds nothing to pick and closes it
                return false;
            }
            if (params.fForceAuthentication && !device.fAuthenticated) ++systemPairings;
        }
        params.cNumDevices = static_cast<ULONG>(picked.size());
        params.pDevices = picked.empty() ? nullptr : picked.data();
        return true;
    }
    void selectDevicesFree(BLUETOOTH_SELECT_DEVICE_PARAMS& params) override {
        ++freed;
        params.pDevices = nullptr;
    }
    DWORD getDeviceInfo(BLUETOOTH_DEVICE_INFO& device) override {
        ++infoReads;
        if (refreshAuthenticated) device.fAuthenticated = TRUE;
        if (!refreshedName.empty()) wcscpy(device.szName, refreshedName.c_str());
        return infoResult;
    }
    DWORD authenticateDevice(HWND, BLUETOOTH_DEVICE_INFO& device) override {
        ++pairingCalls;
        pairingAddress = device.Address.ullLong;
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> lock(platform.mutex);
            context = platform.lastContext;
        }
        for (const AuthenticationParams& request : deliver) BluetoothAuthListener::onAuthentication(context, &request);
        if (!waitForAnswer) return immediateResult;
        DWORD result = 1460;  // the test gave up waiting: a timeout code the test does not expect
        eventually([&] {
            std::lock_guard<std::mutex> lock(platform.mutex);
            const bool confirmed = std::any_of(platform.responses.begin(), platform.responses.end(),
                                               [](const AuthenticationResponse& r) { return !r.negative; });
            const bool cancel = cancelled.load();
            if (cancel || confirmed) result = cancel ? 1223 : 0;
            return cancel || confirmed;
        });
        return result;
    }
    void cancelPairingCall(std::thread& thread) override {
        if (thread.joinable()) ++cancelCalls;
        cancelled = true;
    }

    FakePlatform& platform;
    bool radio = true;
    DWORD pickerError = 0;
    bool pickerCancelledSilently = false;
    std::vector<BLUETOOTH_DEVICE_INFO> picked;
    BLUETOOTH_SELECT_DEVICE_PARAMS seenParams{};
    std::wstring seenInfo;
    int extraPages = 0;
    int systemPairings = 0;
    int freed = 0;
    int infoReads = 0;
    bool refreshAuthenticated = true;
    std::wstring refreshedName;
    DWORD infoResult = ERROR_SUCCESS;
    std::vector<AuthenticationParams> deliver;  // requests the stack sends during the pairing call
    bool waitForAnswer = true;
    DWORD immediateResult = 0;
    std::atomic<int> pairingCalls{0};
    std::atomic<unsigned long long> pairingAddress{0};
    std::atomic<bool> cancelled{false};
    std::atomic<int> cancelCalls{0};
};

inline BLUETOOTH_DEVICE_INFO phoneInfo(unsigned long long address, const wchar_t* name, bool authenticated) {
    BLUETOOTH_DEVICE_INFO info{};
    info.dwSize = sizeof info;
    info.Address.ullLong = address;
    info.fAuthenticated = authenticated;
    info.fRemembered = authenticated;
    wcscpy(info.szName, name);
    return info;
}
