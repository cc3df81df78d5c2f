// Bluetooth sending from the main window: phone choice, sends, cancel and the
// progress shown while a job runs.

#include "app/window_win.h"

#include <commctrl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "app/ui/labels.h"
#include "app/ui/notices.h"
#include "base/diagnostic.h"
#include "base/file_share.h"
#include "base/language.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/pairing/authentication.h"
#include "bluetooth/pairing/pairing_win.h"
#include "bluetooth/socket_channel.h"

namespace app {
namespace {

// Pairing requests for the selected phone reach this window while it is kept.
void listenTo(const BLUETOOTH_DEVICE_INFO& phone) {
    authenticationListener = std::make_unique<BluetoothAuthListener>(windowHandle, deviceRecord(phone), pairingRequest);
}

unsigned long long phoneAddress() { return bluetoothDevice->Address.ullLong & 0xFFFFFFFFFFFFull; }

// Windows holds the job's connection while it pairs, which takes the user's time to
// compare the codes: a connection that gave up before the request does would fail the
// job behind the dialog the user is still answering.
static_assert(ChannelTimeouts{}.connectMs > requestLifetimeMs, "the connection outlasts a pairing request");

// The request whose confirmation waits for the modal windows open now to close;
// a newer one from the phone takes its place.
std::optional<AuthenticationChallenge> waitingRequest;

// The confirmation of the waiting request, once no other modal window is open.
void confirmPairing() {
    struct Closed {
        ~Closed() { authenticationDialogOpen = false; }
    } closed;
    if (!waitingRequest) return;
    const AuthenticationChallenge request = *waitingRequest;
    waitingRequest.reset();
    // Another phone chosen meanwhile, or a code that can no longer be confirmed: the
    // phone gets its no, and neither the job nor the status line hears of it, since
    // the user refused nothing.
    if (!bluetoothDevice || request.params.device.address != phoneAddress() ||
        authenticationPlatform().now() >= request.expiresAt) {
        rejectBluetoothChallenge(request.params);
        return;
    }
    // A job that failed meanwhile shows its box after this, and its notice again.
    const bool confirmed = confirmBluetoothChallenge(windowHandle, request);
    if (!confirmed) bluetoothTransfer->cancel();
    status(confirmed ? Ui::Notice::confirmationSent : Ui::Notice::pairingRejected);
}

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
    if (!request) return;
    if (selectingBluetoothPhone || !bluetoothDevice || request->params.device.address != phoneAddress()) {
        rejectBluetoothChallenge(request->params);
        return;
    }
    // While a confirmation is on screen further requests are dropped: the phone asks
    // again if it still wants to pair. One still waiting is the phone's older request.
    if (authenticationDialogOpen) {
        if (waitingRequest) waitingRequest = std::move(request);
        return;
    }
    authenticationDialogOpen = true;
    waitingRequest = std::move(request);
    afterModalWindows(confirmPairing);
}

void stopListening() { authenticationListener.reset(); }

void discardPairingRequests() {
    discardBluetoothChallenges(windowHandle);
    waitingRequest.reset();
    authenticationDialogOpen = false;  // also a request whose confirmation was still waiting
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
    // The progress bar carries the steps: the status line's percentage is not said.
    const bool step =
        job.state == BluetoothTransfer::State::Sending && shownJob.state == job.state && shownJob.job == job.job;
    shownJob = {job.state, job.sent, job.job};
    if (job.state == BluetoothTransfer::State::Idle || !bluetoothMode) return;

    std::wstring french = job.message;
    std::wstring english = Ui::diagnostic(job.message, true);
    if (job.state == BluetoothTransfer::State::Sending) {
        const std::wstring suffix = L" " + std::to_wstring(percent) + L" %";
        french += suffix;
        english += suffix;
    }
    status(french, english, !step);
    if (changed && job.state == BluetoothTransfer::State::Failed) {
        // Shown after any modal window open now; the notice comes back with it, over
        // whatever that window's caller wrote.
        afterModalWindows([failed = job] {
            const BluetoothTransfer::Snapshot now = bluetoothTransfer->snapshot();
            if (now.job == failed.job && now.state == failed.state) pollBluetooth(true);
            error(failed.message);
        });
    }
}

}  // namespace app
