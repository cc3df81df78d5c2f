#include <windows.h>

#include <bluetoothapis.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "bluetooth/pairing/pairing_win.h"
#include "platform/system.h"

BluetoothDeviceRecord deviceRecord(const BLUETOOTH_DEVICE_INFO& info) {
    BluetoothDeviceRecord record;
    record.address = info.Address.ullLong & 0xFFFFFFFFFFFFull;
    record.classOfDevice = info.ulClassofDevice;
    record.connected = info.fConnected != FALSE;
    record.remembered = info.fRemembered != FALSE;
    record.authenticated = info.fAuthenticated != FALSE;
    std::size_t length = 0;
    while (length < BLUETOOTH_MAX_NAME_SIZE && info.szName[length] != L'\0') ++length;
    record.name.assign(info.szName, length);
    return record;
}

BLUETOOTH_DEVICE_INFO deviceInfo(const BluetoothDeviceRecord& record) {
    BLUETOOTH_DEVICE_INFO info{};
    info.dwSize = sizeof info;
    info.Address.ullLong = record.address;
    info.ulClassofDevice = record.classOfDevice;
    info.fConnected = record.connected;
    info.fRemembered = record.remembered;
    info.fAuthenticated = record.authenticated;
    std::size_t length = std::min<std::size_t>(record.name.size(), BLUETOOTH_MAX_NAME_SIZE - 1);
    std::copy_n(record.name.data(), length, info.szName);
    return info;
}

AuthenticationParams authenticationParams(const BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS& params) {
    AuthenticationParams copy;
    copy.device = deviceRecord(params.deviceInfo);
    copy.method = static_cast<std::uint32_t>(params.authenticationMethod);
    copy.ioCapability = static_cast<std::uint32_t>(params.ioCapability);
    copy.requirements = static_cast<std::uint32_t>(params.authenticationRequirements);
    copy.numericValue = params.Numeric_Value;
    return copy;
}

BLUETOOTH_AUTHENTICATE_RESPONSE systemResponse(const AuthenticationResponse& response) {
    BLUETOOTH_AUTHENTICATE_RESPONSE out;
    std::memset(&out, 0, sizeof out);
    out.bthAddressRemote.ullLong = response.address;
    out.authMethod = static_cast<BLUETOOTH_AUTHENTICATION_METHOD>(response.method);
    if (response.method == AuthMethod::numericComparison)
        out.numericCompInfo.NumericValue = response.numericValue;
    else if (response.method == AuthMethod::passkeyNotification)
        out.passkeyInfo.passkey = response.passkey;
    out.negativeResponse = response.negative ? 1 : 0;
    return out;
}

BOOL CALLBACK onSystemAuthentication(LPVOID context, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params) {
    if (!params) return TRUE;
    AuthenticationParams copy;
    try {
        copy = authenticationParams(*params);
    } catch (...) {
        return TRUE;  // out of memory for the name: the request times out
    }
    BluetoothAuthListener::onAuthentication(context, &copy);
    return TRUE;
}

namespace {

class WindowsPlatform final : public AuthenticationPlatform {
public:
    unsigned long registerListener(const BluetoothDeviceRecord& device, void* context, void*& handle) override {
        BLUETOOTH_DEVICE_INFO info = deviceInfo(device);
        HBLUETOOTH_AUTHENTICATION_REGISTRATION registration = nullptr;
        DWORD result = BluetoothRegisterForAuthenticationEx(&info, &registration, onSystemAuthentication, context);
        handle = result == ERROR_SUCCESS ? registration : nullptr;
        return result;
    }
    void unregisterListener(void* handle) override { BluetoothUnregisterAuthentication(handle); }
    unsigned long sendResponse(const AuthenticationResponse& response) override {
        BLUETOOTH_AUTHENTICATE_RESPONSE answer = systemResponse(response);
        return BluetoothSendAuthenticationResponseEx(nullptr, &answer);
    }
    bool postMessage(WindowHandle window, unsigned message, unsigned long long wParam, long long lParam) override {
        return PostMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                            static_cast<LPARAM>(lParam)) != FALSE;
    }
    unsigned long long now() override { return platform::tickCount(); }
    bool random64(unsigned long long& value) override {
        return platform::systemRandom(reinterpret_cast<unsigned char*>(&value), sizeof value);
    }
};

class WindowsDevices final : public DeviceSystem {
public:
    bool radioPresent() override {
        BLUETOOTH_FIND_RADIO_PARAMS params{sizeof(BLUETOOTH_FIND_RADIO_PARAMS)};
        HANDLE radio = nullptr;
        HBLUETOOTH_RADIO_FIND search = BluetoothFindFirstRadio(&params, &radio);
        if (!search) return false;
        if (radio) CloseHandle(radio);
        BluetoothFindRadioClose(search);
        return true;
    }
    bool selectDevices(BLUETOOTH_SELECT_DEVICE_PARAMS& params, DWORD& error) override {
        SetLastError(0);
        if (BluetoothSelectDevices(&params)) return true;
        error = GetLastError();
        return false;
    }
    void selectDevicesFree(BLUETOOTH_SELECT_DEVICE_PARAMS& params) override { BluetoothSelectDevicesFree(&params); }
    DWORD getDeviceInfo(BLUETOOTH_DEVICE_INFO& device) override { return BluetoothGetDeviceInfo(nullptr, &device); }
    DWORD authenticateDevice(HWND dialog, BLUETOOTH_DEVICE_INFO& device) override {
        return BluetoothAuthenticateDeviceEx(dialog, nullptr, &device, nullptr, MITMProtectionRequiredGeneralBonding);
    }
    void cancelPairingCall(std::thread& thread) override { platform::cancelThreadIo(thread); }
};

}  // namespace

AuthenticationPlatform& systemAuthenticationPlatform() {
    static WindowsPlatform platform;
    return platform;
}

DeviceSystem& deviceSystem() {
    static WindowsDevices system;
    DeviceSystem* installed = DeviceSystem::installed.load();
    return installed ? *installed : system;
}

void setDeviceSystem(DeviceSystem* system) { DeviceSystem::installed.store(system); }
