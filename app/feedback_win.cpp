// Status line, warning boxes and the interface's own failures.

#include "app/window_win.h"

#include <shellapi.h>

#include <stdexcept>

#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "remote/actions.h"

namespace app {

const wchar_t* byLanguage(const wchar_t* french, const wchar_t* english) {
    return Ui::english ? english : french;
}

void status(const std::wstring& french, const std::wstring& english) {
    noticeFr = french;
    noticeEn = english;
    if (statusLabel) SetWindowTextW(statusLabel, Ui::english ? noticeEn.c_str() : noticeFr.c_str());
}

void readyNotice() {
    if (bluetoothMode)
        status(L"Associez le t\u00e9l\u00e9phone, puis acceptez le fichier sur Android.",
               L"Pair your phone, then accept the file on Android.");
    else
        status(L"Cliquez sur Envoyer, puis scannez le QR code sur Android.",
               L"Click Send, then scan the QR code on Android.");
}

void status(Ui::Pending action) {
    const Ui::TextPair notice = Ui::inProgress(action);
    status(notice.french, notice.english);
}

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
        if (noticeFr == notice.text.french && noticeEn == notice.text.english && !underWay(notice.action)) {
            readyNotice();
            break;
        }
    }
}

void fail(const wchar_t* french, const wchar_t* english) {
    throw std::runtime_error(utf8(byLanguage(french, english)));
}

void openInBrowser(const std::wstring& address) {
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(windowHandle, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) return;  // ShellExecute's own success threshold
    const std::wstring message =
        std::wstring(byLanguage(L"Impossible d\u2019ouvrir le navigateur. Ouvrez vous-m\u00eame cette adresse :\n",
                                L"Could not open the browser. Open this address yourself:\n")) +
        address;
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
