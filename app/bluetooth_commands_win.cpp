// Bluetooth sending from the main window: phone choice, sends, cancel and the
// progress shown while a job runs.

#include "app/window_win.h"

#include <commctrl.h>

#include <memory>
#include <stdexcept>

#include "app/ui/labels.h"
#include "app/ui/notices.h"
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

unsigned long long phoneAddress() { return bluetoothDevice->Address.ullLong & 0xFFFFFFFFFFFFull; }

}  // namespace

bool selectBluetoothPhone() {
    if (BluetoothTransfer::busy(bluetoothTransfer->snapshot().state)) fail(Ui::Refusal::transferUnderWay);
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
        status(Ui::Notice::phonePaired);
        return true;
    }
    if (bluetoothDevice) listenTo(*bluetoothDevice);
    status(Ui::Notice::selectionCancelled);
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
        status(Ui::Notice::confirmationSent);
        return;
    }
    bluetoothTransfer->cancel();
    status(Ui::Notice::pairingRejected);
}

void stopListening() { authenticationListener.reset(); }

void discardPairingRequests() { discardBluetoothChallenges(windowHandle); }

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
    if (!bluetoothTransfer || !windowHandle) return;
    const BluetoothTransfer::Snapshot job = bluetoothTransfer->snapshot();
    const bool busy = BluetoothTransfer::busy(job.state);
    for (int id : {ControlId::wifiMode, ControlId::textSend, ControlId::fileSend, ControlId::chooseFile,
                   ControlId::removeFile, ControlId::pair})
        enableControl(GetDlgItem(windowHandle, id), !busy);
    enableControl(cancelBluetoothButton, busy);

    unsigned percent = 0;
    if (job.total != 0)
        percent = static_cast<unsigned>(job.sent * 100 / job.total);
    else if (job.state == BluetoothTransfer::State::Completed)
        percent = 100;
    SendMessageW(btProgress, PBM_SETPOS, percent, 0);

    const bool changed = job.state != shownJob.state || job.sent != shownJob.sent || job.job != shownJob.job;
    if (!force && !changed) return;
    shownJob = {job.state, job.sent, job.job};
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
