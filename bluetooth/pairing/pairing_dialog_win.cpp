// The pairing dialog (template 201): shows the code of a pairing request and
// sends the user's answer. Pairing mode also drives the system's pairing call on
// its own thread; confirmation mode shows one request that reached the main window.

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/accessible_win.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "bluetooth/pairing/pairing_flow.h"
#include "bluetooth/pairing/pairing_win.h"
#include "resources/pairing_dialog_ids.h"

namespace {

constexpr UINT_PTR pairingTimer = 1;
constexpr UINT pairingTimerMs = 100;

// The dialog's texts chosen by interface language. Its other texts, from the
// template and the pairing flow, are French and pass through setPairingText.
namespace DialogText {
constexpr Ui::TextPair caption{L"Appairage Bluetooth - Tolvenaire", L"Bluetooth pairing - Tolvenaire"};
constexpr Ui::TextPair unnamedPhone{L"T\u00e9l\u00e9phone Android", L"Android phone"};
}  // namespace DialogText

struct PairingState {
    explicit PairingState(bool confirmationMode) : flow(confirmationMode) {}
    HWND dialog = nullptr;
    BLUETOOTH_DEVICE_INFO device{};
    unsigned long long address = 0;
    std::unique_ptr<BluetoothAuthListener> listener;
    std::thread pairingThread;
    PairingFlow flow;
    HFONT codeFont = nullptr;
};

unsigned long long now() { return authenticationPlatform().now(); }

void enableConfirm(PairingState& state, bool enabled) {
    EnableWindow(GetDlgItem(state.dialog, IDC_PAIRING_CONFIRM), enabled);
}

// Refusing stays the default action whatever was shown.
void focusRefuse(PairingState& state) {
    SendMessageW(state.dialog, DM_SETDEFID, IDC_PAIRING_REFUSE, 0);
    SetForegroundWindow(state.dialog);
    SetFocus(GetDlgItem(state.dialog, IDC_PAIRING_REFUSE));
}

// A screen reader says the code with what to do with it, at once: the request expires.
accessible::Answers codeWithInstruction(HWND code) {
    wchar_t text[64] = {};
    wchar_t instruction[512] = {};
    GetWindowTextW(code, text, 64);
    GetDlgItemTextW(GetParent(code), IDC_PAIRING_INSTRUCTION, instruction, 512);
    return {std::wstring(text) + L"\n" + instruction};
}

void showChallenge(PairingState& state, const AuthenticationChallenge& challenge) {
    ChallengeView view = state.flow.showChallenge(challenge);
    setPairingText(state.dialog, IDC_PAIRING_CODE, view.code.c_str());
    setPairingText(state.dialog, IDC_PAIRING_INSTRUCTION, view.instruction.c_str());
    setPairingText(state.dialog, IDC_PAIRING_PROGRESS, view.progress.c_str());
    setPairingText(state.dialog, IDC_PAIRING_CONFIRM, view.confirmCaption.c_str());
    enableConfirm(state, view.confirmEnabled);
    focusRefuse(state);
    accessible::announce(GetDlgItem(state.dialog, IDC_PAIRING_CODE));
}

void cancelPairing(PairingState& state) {
    state.flow.cancel(now());
    enableConfirm(state, false);
    setPairingText(state.dialog, IDC_PAIRING_PROGRESS, PairingText::refused);
    if (state.flow.confirmationMode) {
        EndDialog(state.dialog, IDC_PAIRING_REFUSE);
        return;
    }
    // The dialog ends once the timer sees the thread return.
    if (state.pairingThread.joinable()) deviceSystem().cancelPairingCall(state.pairingThread);
}

void onConfirm(PairingState& state) {
    ConfirmResult result = state.flow.confirm(now());
    if (result == ConfirmResult::Ignored) return;
    enableConfirm(state, false);
    setPairingText(state.dialog, IDC_PAIRING_PROGRESS,
                   result == ConfirmResult::Sent ? PairingText::confirmAndroid : PairingText::confirmNotSent);
    if (state.flow.confirmationMode)
        EndDialog(state.dialog, result == ConfirmResult::Sent ? IDC_PAIRING_CONFIRM : IDC_PAIRING_REFUSE);
}

void onRequest(PairingState& state, WPARAM key, LPARAM lParam) {
    if (lParam != 0) return;
    auto challenge = inbox().take(state.dialog, key, now());
    if (!challenge || challenge->params.device.address != state.address) return;
    if (!state.flow.aborted)
        showChallenge(state, *challenge);
    else
        state.flow.refuseLate(*challenge, now());
}

void onTimer(PairingState& state) {
    if (state.flow.timerCancels(now())) cancelPairing(state);
    FinishStep step = state.flow.finishStep();
    if (step == FinishStep::Running) return;
    KillTimer(state.dialog, pairingTimer);
    if (step == FinishStep::CheckPairing) {
        BLUETOOTH_DEVICE_INFO refreshed = state.device;
        refreshed.dwSize = sizeof refreshed;
        if (deviceSystem().getDeviceInfo(refreshed) == ERROR_SUCCESS && refreshed.fAuthenticated) {
            state.device = refreshed;
            EndDialog(state.dialog, IDC_PAIRING_CONFIRM);
            return;
        }
    }
    state.flow.notPaired();
    EndDialog(state.dialog, IDC_PAIRING_REFUSE);
}

void startPairing(PairingState& state) {
    try {
        BluetoothDeviceRecord record = deviceRecord(state.device);
        state.listener = std::make_unique<BluetoothAuthListener>(state.dialog, record, pairingRequestMessage);
        state.pairingThread = std::thread([&state] {
            DWORD code = deviceSystem().authenticateDevice(state.dialog, state.device);
            state.flow.result.store(code);
            state.flow.threadFinished.store(true);
        });
    } catch (const std::exception&) {
        state.flow.message = PairingText::couldNotStart;
        state.flow.result.store(pairingNotStarted);
        EndDialog(state.dialog, IDC_PAIRING_REFUSE);
    }
}

void onInit(HWND dialog, PairingState& state) {
    state.dialog = dialog;
    state.flow.openedAt = now();
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetWindowTextW(dialog, Ui::current(DialogText::caption));
    for (int id : {IDC_PAIRING_HEADING, IDC_PAIRING_CODE, IDC_PAIRING_INSTRUCTION, IDC_PAIRING_PROGRESS,
                   IDC_PAIRING_CONFIRM, IDC_PAIRING_REFUSE}) {
        wchar_t text[512] = {};
        GetDlgItemTextW(dialog, id, text, 512);
        setPairingText(dialog, id, text);
    }
    HDC screen = GetDC(dialog);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(dialog, screen);
    state.codeFont =
        CreateFontW(-MulDiv(32, dpi, 72), 0, 0, 0, 600, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI");
    if (state.codeFont)
        SendDlgItemMessageW(dialog, IDC_PAIRING_CODE, WM_SETFONT, reinterpret_cast<WPARAM>(state.codeFont), TRUE);
    const wchar_t* name = state.device.szName[0] ? state.device.szName : Ui::current(DialogText::unnamedPhone);
    SetDlgItemTextW(dialog, IDC_PAIRING_PHONE, name);
    SendMessageW(dialog, DM_SETDEFID, IDC_PAIRING_REFUSE, 0);
    accessible::describeControl(GetDlgItem(dialog, IDC_PAIRING_CODE), codeWithInstruction);
    accessible::makeLiveRegion(GetDlgItem(dialog, IDC_PAIRING_CODE), accessible::Live::assertive);
    enableConfirm(state, false);
    if (!state.flow.confirmationMode)
        startPairing(state);
    else
        showChallenge(state, state.flow.challenge);
    SetTimer(dialog, pairingTimer, pairingTimerMs, nullptr);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, IDC_PAIRING_REFUSE));
}

// A failure refuses, then ends the dialog unless the pairing thread must be waited for.
void onFailure(PairingState& state) {
    state.flow.aborted = true;
    try {
        state.flow.answer(false, now());
    } catch (...) {}
    bool waitForThread = state.pairingThread.joinable() && !state.flow.threadFinished.load();
    if (waitForThread) deviceSystem().cancelPairingCall(state.pairingThread);
    if (!(waitForThread && !state.flow.confirmationMode)) EndDialog(state.dialog, IDC_PAIRING_REFUSE);
}

INT_PTR CALLBACK pairingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<PairingState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) state = reinterpret_cast<PairingState*>(lParam);
    if (!state) return FALSE;
    try {
        switch (message) {
        case WM_INITDIALOG: onInit(dialog, *state); return FALSE;  // focus already set on the refuse button
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_PAIRING_CONFIRM) onConfirm(*state);
            if (LOWORD(wParam) == IDC_PAIRING_REFUSE) cancelPairing(*state);  // also Escape and the close box
            return TRUE;
        case pairingRequestMessage: onRequest(*state, wParam, lParam); return TRUE;
        case WM_TIMER:
            if (wParam == pairingTimer) onTimer(*state);
            return TRUE;
        default: return FALSE;
        }
    } catch (...) {
        onFailure(*state);
        return TRUE;
    }
}

void cleanup(PairingState& state) {
    if (state.pairingThread.joinable()) state.pairingThread.join();
    state.listener.reset();
    if (state.dialog) inbox().discard(state.dialog);
    if (state.codeFont) DeleteObject(state.codeFont);
    state.codeFont = nullptr;
}

INT_PTR runDialog(HWND owner, PairingState& state) {
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAIRING), owner, pairingProc,
                                     reinterpret_cast<LPARAM>(&state));
    cleanup(state);
    return result;
}

}  // namespace

void setPairingText(HWND dialog, int controlId, const wchar_t* french) {
    std::wstring text = Ui::diagnostic(french, false);
    SetDlgItemTextW(dialog, controlId, text.c_str());
}

bool authenticateBluetoothInApp(HWND owner, BLUETOOTH_DEVICE_INFO& device) {
    PairingState state(false);
    state.device = device;
    state.address = device.Address.ullLong & 0xFFFFFFFFFFFFull;
    INT_PTR ended = runDialog(owner, state);
    PairingOutcome outcome = pairingOutcome(ended, state.flow);
    if (outcome.kind == PairingOutcome::Failed) throw std::runtime_error(outcome.error);
    if (outcome.kind == PairingOutcome::Paired) device = state.device;
    return outcome.kind == PairingOutcome::Paired;
}

bool confirmBluetoothChallenge(HWND owner, const AuthenticationChallenge& challenge) {
    PairingState state(true);
    state.device = deviceInfo(challenge.params.device);
    state.address = challenge.params.device.address;
    state.flow.challenge = challenge;
    INT_PTR ended = runDialog(owner, state);
    if (!state.flow.answered) rejectBluetoothChallenge(challenge.params);
    return ended == IDC_PAIRING_CONFIRM;
}
