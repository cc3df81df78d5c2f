#pragma once

// Windows side of the pairing module: phone selection, the pairing dialog and
// the conversions between the system's Bluetooth records and ours.

#include <windows.h>

#include <bluetoothapis.h>

#include <atomic>
#include <optional>
#include <thread>

#include "bluetooth/pairing/authentication.h"

// Message the dialog's own listener posts to it; wParam is the request key.
constexpr UINT pairingRequestMessage = WM_APP + 54;

BluetoothDeviceRecord deviceRecord(const BLUETOOTH_DEVICE_INFO& info);
BLUETOOTH_DEVICE_INFO deviceInfo(const BluetoothDeviceRecord& record);
AuthenticationParams authenticationParams(const BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS& params);
BLUETOOTH_AUTHENTICATE_RESPONSE systemResponse(const AuthenticationResponse& response);

// The callback registered with the stack: converts the request and hands it to
// BluetoothAuthListener::onAuthentication.
BOOL CALLBACK onSystemAuthentication(LPVOID context, PBLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params);

// The device calls of phone selection and the pairing dialog. The default
// instance calls bthprops; tests install their own.
class DeviceSystem {
public:
    virtual ~DeviceSystem() = default;
    virtual bool radioPresent() = 0;
    // BluetoothSelectDevices; on failure returns false with the last error in `error`.
    virtual bool selectDevices(BLUETOOTH_SELECT_DEVICE_PARAMS& params, DWORD& error) = 0;
    virtual void selectDevicesFree(BLUETOOTH_SELECT_DEVICE_PARAMS& params) = 0;
    virtual DWORD getDeviceInfo(BLUETOOTH_DEVICE_INFO& device) = 0;
    // Runs on the pairing thread.
    virtual DWORD authenticateDevice(HWND dialog, BLUETOOTH_DEVICE_INFO& device) = 0;
    // Frees the pairing thread from its blocking call.
    virtual void cancelPairingCall(std::thread& thread) = 0;

private:
    friend DeviceSystem& deviceSystem();
    friend void setDeviceSystem(DeviceSystem* system);
    // The one installed for the whole process in place of the system's; null for the system's.
    static inline std::atomic<DeviceSystem*> installed{nullptr};
};

DeviceSystem& deviceSystem();
void setDeviceSystem(DeviceSystem* system);  // nullptr restores the system one

// Lets the user pick one device and pairs it when it is not authenticated yet.
// Empty when the user cancelled; raises with a French message on failure.
std::optional<BLUETOOTH_DEVICE_INFO> chooseAndPairBluetooth(HWND owner);

// Pairs `device` through the pairing dialog. True when it ended paired and
// authenticated (`device` is then refreshed); false when refused or cancelled.
bool authenticateBluetoothInApp(HWND owner, BLUETOOTH_DEVICE_INFO& device);

// Shows a request for the selected phone; true when the user confirmed and the
// positive answer went out. Any request not confirmed is refused.
bool confirmBluetoothChallenge(HWND owner, const AuthenticationChallenge& challenge);

// Sets a dialog text, in English when the interface is English.
void setPairingText(HWND dialog, int controlId, const wchar_t* french);
