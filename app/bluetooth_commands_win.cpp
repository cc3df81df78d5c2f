// Bluetooth sending from the main window: phone choice, sends, cancel and the
// progress shown while a job runs.

#include "app/window_win.h"

#include <commctrl.h>

#include <memory>
#include <stdexcept>

#include "app/ui/labels.h"
#include "base/diagnostic.h"
#include "base/file_share.h"
#include "base/language.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/pairing/pairing_win.h"

namespace app {
namespace {

// Pairing requests for the selected phone reach this window while it is kept.
void listenTo(const BLUETOOTH_DEVICE_INFO& phone) {
    authenticationListener = std::make_unique<BluetoothAuthListener>(windowHandle, deviceRecord(phone), pairingRequest);
}

unsigned long long phoneAddress() {
    return bluetoothDevice->Address.ullLong & 0xFFFFFFFFFFFFull;
}

}  // namespace

bool selectBluetoothPhone() {
    if (BluetoothTransfer::busy(bluetoothTransfer->snapshot().state))
        fail(L"Attendez la fin du transfert ou annulez-le.", L"Wait for the transfer to finish or cancel it.");
    status(Ui::Pending::phoneSelection);
    authenticationListener.reset();
    selectingBluetoothPhone = true;
    std::optional<BLUETOOTH_DEVICE_INFO> phone;
    try {
        phone = chooseAndPairBluetooth(windowHandle);
    } catch (...) {
        selectingBluetoothPhone = false;
        if (bluetoothDevice) {
            try {
                listenTo(*bluetoothDevice);
            } catch (...) {
                // The selection's own failure is the one to show.
            }
        }
        throw;
    }
    selectingBluetoothPhone = false;
    if (phone) {
        listenTo(*phone);
        bluetoothDevice = phone;
        refreshLabels();
        status(L"T\u00e9l\u00e9phone associ\u00e9. Vous pouvez envoyer le fichier.",
               L"Phone paired. You can send the file.");
        return true;
    }
    if (bluetoothDevice) listenTo(*bluetoothDevice);
    status(L"S\u00e9lection ou appairage annul\u00e9.", L"Selection or pairing cancelled.");
    return false;
}

void onPairingRequest(WPARAM key, LPARAM extra) {
    if (extra != 0) return;
    std::optional<AuthenticationChallenge> request = takeBluetoothChallenge(windowHandle, key);
    if (!request || authenticationDialogOpen) return;
    if (selectingBluetoothPhone || !bluetoothDevice || request->params.device.address != phoneAddress()) {
        rejectBluetoothChallenge(request->params);
        return;
    }
    authenticationDialogOpen = true;
    bool confirmed = false;
    try {
        confirmed = confirmBluetoothChallenge(windowHandle, *request);
    } catch (...) {
        authenticationDialogOpen = false;
        throw;
    }
    authenticationDialogOpen = false;
    if (confirmed) {
        status(L"Confirmation transmise. Confirmez aussi sur Android.", L"Confirmation sent. Also confirm on Android.");
        return;
    }
    bluetoothTransfer->cancel();
    status(L"Appairage refus\u00e9 ou annul\u00e9.", L"Pairing rejected or cancelled.");
}

void stopListening() {
    authenticationListener.reset();
}

void discardPairingRequests() {
    discardBluetoothChallenges(windowHandle);
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
    SetWindowTextW(btPathEdit, Ui::bluetoothPathText(true, L"", Ui::english).c_str());
    bluetoothTransfer->startText(phoneAddress(), text);
    pollBluetooth(false);
}

void cancelBluetooth() {
    if (bluetoothTransfer) bluetoothTransfer->cancel();
}

void pollBluetooth(bool force) {
    // The job number tells two jobs with the same outcome apart, so each one's
    // outcome is shown even when it ends before its first poll.
    static BluetoothTransfer::State last = BluetoothTransfer::State::Idle;
    static std::uint64_t lastSent = 0;
    static std::uint64_t lastJob = 0;
    if (!bluetoothTransfer || !windowHandle) return;
    const BluetoothTransfer::Snapshot job = bluetoothTransfer->snapshot();
    const bool busy = BluetoothTransfer::busy(job.state);
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

    const bool changed = job.state != last || job.sent != lastSent || job.job != lastJob;
    if (!force && !changed) return;
    last = job.state;
    lastSent = job.sent;
    lastJob = job.job;
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
