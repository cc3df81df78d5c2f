// Status line, warning boxes and the interface's own failures.

#include "app/window_win.h"

#include <shellapi.h>

#include <stdexcept>

#include "app/accessibility_win.h"
#include "app/ui/notices.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "remote/actions.h"

namespace app {

namespace {

void say(const std::wstring& french, const std::wstring& english, bool heard) {
    noticeFr = french;
    noticeEn = english;
    noticeSetAt = tickSource();
    showNotice();
    if (heard) announceNotice();
}

}  // namespace

void status(const Ui::TextPair& notice) { say(notice.french, notice.english, true); }

void status(const std::wstring& french, const std::wstring& english, bool heard) {
    say(french, english, heard && (french != noticeFr || english != noticeEn));
}

bool showing(const Ui::TextPair& notice) { return noticeFr == notice.french && noticeEn == notice.english; }

void showNotice() {
    if (statusLabel) SetWindowTextW(statusLabel, Ui::current({noticeFr.c_str(), noticeEn.c_str()}));
}

void readyNotice() { status(bluetoothMode ? Ui::Notice::readyBluetooth : Ui::Notice::readyWifi); }

void status(Ui::Pending action) { status(Ui::inProgress(action)); }

bool underWay(Ui::Pending action) {
    switch (action) {
    case Ui::Pending::phoneSelection: return selectingBluetoothPhone;
    case Ui::Pending::updateCheck: return remoteActions && remoteActions->pending(remote::Action::Update);
    case Ui::Pending::like: return remoteActions && remoteActions->pending(remote::Action::Like);
    case Ui::Pending::transferCancel:
        return bluetoothTransfer && BluetoothTransfer::busy(bluetoothTransfer->snapshot().state);
    }
    return false;
}

void error(const std::wstring& message) {
    const std::wstring shown = Ui::diagnostic(message, false);
    MessageBoxW(windowHandle, shown.c_str(), productTitle, MB_OK | MB_ICONWARNING);
    // Whatever failed, the status line must not go on announcing an action that is over.
    for (const Ui::InProgressNotice& notice : Ui::inProgressNotices) {
        if (showing(notice.text) && !underWay(notice.action)) {
            readyNotice();
            break;
        }
    }
}

void fail(const Ui::TextPair& refusal) { throw std::runtime_error(utf8(Ui::current(refusal))); }

void openInBrowser(const std::wstring& address) {
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(windowHandle, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) return;  // ShellExecute's own success threshold
    const std::wstring message = Ui::current(Ui::Message::browserUnavailable) + address;
    MessageBoxW(windowHandle, message.c_str(), productTitle, MB_OK | MB_ICONWARNING);
}

std::wstring readText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

}  // namespace app
