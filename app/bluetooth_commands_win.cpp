// Bluetooth sending from the main window: phone choice, sends, cancel and the
// progress shown while a job runs.

#include "app/window_win.h"

#include <commctrl.h>

#include <memory>
#include <stdexcept>

#include "app/ui/diagnostic.h"
#include "app/ui/language.h"
#include "bluetooth/bluetooth_transfer.h"
#include "link/file_share.h"

namespace app {
namespace {

bool jobRunning(BluetoothTransfer::State state) {
    return state == BluetoothTransfer::State::Connecting || state == BluetoothTransfer::State::AwaitingAcceptance ||
           state == BluetoothTransfer::State::Sending;
}

// Phone selection and pairing arrive with the pairing module; until then a PC
// without a working radio is told so, and one with a radio is told nothing was chosen.
std::optional<BLUETOOTH_DEVICE_INFO> choosePhone() {
    BLUETOOTH_FIND_RADIO_PARAMS search{sizeof search};
    HANDLE radio = nullptr;
    HBLUETOOTH_RADIO_FIND finder = BluetoothFindFirstRadio(&search, &radio);
    if (!finder)
        throw std::runtime_error(
            "Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");
    CloseHandle(radio);
    BluetoothFindRadioClose(finder);
    return std::nullopt;
}

unsigned long long phoneAddress() {
    return bluetoothDevice->Address.ullLong;
}

}  // namespace

bool selectBluetoothPhone() {
    if (jobRunning(bluetoothTransfer->snapshot().state))
        fail(L"Attendez la fin du transfert ou annulez-le.", L"Wait for the transfer to finish or cancel it.");
    status(L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.",
           L"Choose your phone. Compare the code on both devices.");
    selectingBluetoothPhone = true;
    std::optional<BLUETOOTH_DEVICE_INFO> phone;
    try {
        phone = choosePhone();
    } catch (...) {
        selectingBluetoothPhone = false;
        throw;
    }
    selectingBluetoothPhone = false;
    if (phone) {
        bluetoothDevice = phone;
        refreshLabels();
        status(L"T\u00e9l\u00e9phone associ\u00e9. Vous pouvez envoyer le fichier.",
               L"Phone paired. You can send the file.");
        return true;
    }
    status(L"S\u00e9lection ou appairage annul\u00e9.", L"Selection or pairing cancelled.");
    return false;
}

void sendBluetooth(const std::wstring& path) {
    auto share = std::make_shared<FileShare>(path);
    if (!bluetoothDevice && !selectBluetoothPhone()) return;
    bluetoothText = false;
    bluetoothPath = path;
    SetWindowTextW(btPathEdit, path.c_str());
    bluetoothTransfer->start(phoneAddress(), std::move(share));
    pollBluetooth(false);
}

void sendBluetoothText(const std::string& text) {
    if (!bluetoothDevice && !selectBluetoothPhone()) return;
    bluetoothText = true;
    SetWindowTextW(btPathEdit, byLanguage(L"Texte.txt \u00b7 en m\u00e9moire", L"Text.txt \u00b7 in memory"));
    bluetoothTransfer->startText(phoneAddress(), text);
    pollBluetooth(false);
}

void cancelBluetooth() {
    if (bluetoothTransfer) bluetoothTransfer->cancel();
}

void pollBluetooth(bool force) {
    static BluetoothTransfer::State last = BluetoothTransfer::State::Idle;
    static std::uint64_t lastSent = 0;
    if (!bluetoothTransfer || !windowHandle) return;
    const BluetoothTransfer::Snapshot job = bluetoothTransfer->snapshot();
    const bool busy = jobRunning(job.state);
    for (int id : {ControlId::wifiMode, ControlId::textSend, ControlId::fileSend, ControlId::chooseFile,
                   ControlId::removeFile, ControlId::pair})
        EnableWindow(GetDlgItem(windowHandle, id), busy ? FALSE : TRUE);
    EnableWindow(cancelBluetoothButton, busy ? TRUE : FALSE);

    unsigned percent = 0;
    if (job.total != 0)
        percent = static_cast<unsigned>(job.sent * 100 / job.total);
    else if (job.state == BluetoothTransfer::State::Completed)
        percent = 100;
    SendMessageW(btProgress, PBM_SETPOS, percent, 0);

    const bool changed = job.state != last || job.sent != lastSent;
    if (!force && !changed) return;
    last = job.state;
    lastSent = job.sent;
    if (job.state == BluetoothTransfer::State::Idle || !bluetoothMode) return;

    std::wstring french = job.message;
    std::wstring english = Ui::diagnostic(job.message, true);
    if (job.state == BluetoothTransfer::State::Sending) {
        const std::wstring suffix = L" " + std::to_wstring(percent) + L" %";
        french += suffix;
        english += suffix;
    }
    status(french, english);
    if (changed && job.state == BluetoothTransfer::State::Failed) error(job.message);
}

}  // namespace app
