// Phone selection: the system's device picker, then in-app pairing of a phone
// that is not authenticated yet.

#include <windows.h>

#include <stdexcept>
#include <string>

#include "base/diagnostic.h"
#include "bluetooth/pairing/pairing_win.h"
#include "bluetooth/windows_error.h"

std::optional<BLUETOOTH_DEVICE_INFO> chooseAndPairBluetooth(HWND owner) {
    DeviceSystem& system = deviceSystem();
    if (!system.radioPresent())
        throw std::runtime_error(
            "Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");

    std::wstring info = Ui::diagnostic(
        L"Selectionnez uniquement votre telephone Android. Gardez ses parametres Bluetooth ouverts pour le "
        L"rendre detectable.",
        false);
    BLUETOOTH_SELECT_DEVICE_PARAMS params{};
    params.dwSize = sizeof params;
    params.cNumOfClasses = 0;
    params.prgClassOfDevices = nullptr;
    params.pszInfo = info.data();
    params.hwndParent = owner;
    params.fForceAuthentication = FALSE;
    params.fShowAuthenticated = TRUE;
    params.fShowRemembered = TRUE;
    params.fShowUnknown = TRUE;
    params.fAddNewDeviceWizard = FALSE;
    params.fSkipServicesPage = TRUE;
    params.pfnDeviceCallback = nullptr;
    params.pvParam = nullptr;
    params.cNumDevices = 0;
    params.pDevices = nullptr;

    DWORD error = 0;
    if (!system.selectDevices(params, error)) {
        if (error == 0 || error == ERROR_CANCELLED) return std::nullopt;
        throw std::runtime_error("Selection Bluetooth impossible : " + windowsError(error));
    }
    std::optional<BLUETOOTH_DEVICE_INFO> device;
    if (params.cNumDevices == 1 && params.pDevices) device = params.pDevices[0];
    system.selectDevicesFree(params);
    if (!device) throw std::runtime_error("Selectionnez un seul telephone pour ce transfert.");

    device->szName[BLUETOOTH_MAX_NAME_SIZE - 1] = L'\0';
    device->dwSize = sizeof(BLUETOOTH_DEVICE_INFO);
    system.getDeviceInfo(*device);  // a stale record still names the phone
    if (!device->fAuthenticated && !authenticateBluetoothInApp(owner, *device)) return std::nullopt;
    return device;
}

static_assert(sizeof(BLUETOOTH_SELECT_DEVICE_PARAMS) == 88, "picker parameters as the system expects them");
static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == 560, "device record as the system expects it");
