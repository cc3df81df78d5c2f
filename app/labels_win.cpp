// Re-captions the main window for the current language and state.

#include "app/window_win.h"

#include <commctrl.h>

#include "app/accessibility_win.h"
#include "app/ui/labels.h"
#include "base/language.h"
#include "link/transfer_server.h"
#include "remote/remote.h"

namespace app {
namespace {

void showAll(std::initializer_list<HWND> controls, bool visible) {
    for (HWND control : controls) showControl(control, visible);
}

// One tool per control, identified by its handle; replaced when it exists.
void setTooltip(HWND control, const wchar_t* text) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = windowHandle;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    const bool exists = SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = windowHandle;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tooltip, exists ? TTM_SETTOOLINFOW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::wstring phoneName() { return bluetoothDevice ? std::wstring(bluetoothDevice->szName) : std::wstring(); }

}  // namespace

void refreshLabels() {
    const bool english = Ui::english;
    for (const Ui::ControlText& caption : Ui::fixedCaptions)
        SetDlgItemTextW(windowHandle, caption.id, caption.text.in(english));

    const bool sharing = server && server->running;
    for (const Ui::ControlText& caption : Ui::stateCaptions(bluetoothMode, sharing))
        SetDlgItemTextW(windowHandle, caption.id, caption.text.in(english));
    SetWindowTextW(modeSummary, Ui::modeSummary(bluetoothMode).in(english));
    labelNoAddress();

    SetWindowTextW(fileLabel, Ui::fileLabelText(selectedPath, english).c_str());
    SetWindowTextW(deviceLabel, Ui::deviceLabelText(bluetoothDevice.has_value(), phoneName(), english).c_str());
    SetWindowTextW(btPathEdit, Ui::bluetoothPathText(bluetoothText, bluetoothPath, english).c_str());

    // The mode's own controls first: a focus on one that goes moves on to them.
    const std::initializer_list<HWND> wifi{addressCombo,   qrButton,      linkEdit,
                                           copyLinkButton, previewButton, startButton};
    const std::initializer_list<HWND> bluetooth{pairButton, deviceLabel, btPathEdit, btProgress, cancelBluetoothButton};
    showAll(bluetoothMode ? bluetooth : wifi, true);
    showAll(bluetoothMode ? wifi : bluetooth, false);

    for (const Ui::ControlText& tip : Ui::tooltips) {
        if (HWND control = GetDlgItem(windowHandle, tip.id)) setTooltip(control, tip.text.in(english));
    }

    const Ui::LikeButton like = Ui::likeButton(likedThisSession || remote::alreadyLiked());
    SetDlgItemTextW(windowHandle, ControlId::like, like.caption);
    enableControl(GetDlgItem(windowHandle, ControlId::like), like.enabled);

    showNotice();
    followState();
    pollBluetooth(true);
    InvalidateRect(windowHandle, nullptr, FALSE);

    if (qrWindow) {
        SetWindowTextW(qrWindow, Ui::qrWindowTitle.in(english));
        InvalidateRect(qrWindow, nullptr, FALSE);
    }
}

}  // namespace app
