// The private link, its QR code (small on the QR button, large in its own
// window) and the list of local addresses to share on.

#include "app/window_win.h"

#include <qrcodegen.hpp>

#include <algorithm>
#include <optional>
#include <utility>

#include "app/handles_win.h"
#include "app/layout.h"
#include "app/palette_win.h"
#include "app/ui/labels.h"
#include "app/ui/notices.h"
#include "base/language.h"
#include "base/text.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"

namespace app {

void refreshLink() {
    if (qrWindow) DestroyWindow(qrWindow);
    currentLink.clear();
    qr.reset();
    if (server && server->running) {
        currentLink = wide(server->link());
        qr = std::make_unique<qrcodegen::QrCode>(
            qrcodegen::QrCode::encodeText(utf8(currentLink).c_str(), qrcodegen::QrCode::Ecc::MEDIUM));
    }
    if (linkEdit) SetWindowTextW(linkEdit, currentLink.c_str());
    const bool linked = !currentLink.empty();
    enableControl(copyLinkButton, linked);
    enableControl(previewButton, linked);
    enableControl(qrButton, linked);
    if (windowHandle) InvalidateRect(windowHandle, nullptr, FALSE);
    if (qrButton) InvalidateRect(qrButton, nullptr, FALSE);
}

void refreshAdapters() {
    if (std::optional<LocalAddressList> read = addressSource()) showAddresses(std::move(*read));
    refreshLink();
}

void showAddresses(LocalAddressList list) {
    std::string remembered = chosenAddress;
    const LRESULT selected = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    if (remembered.empty() && selected >= 0 && static_cast<size_t>(selected) < addresses.size())
        remembered = addresses[static_cast<size_t>(selected)].second;

    addresses = std::move(list);
    SendMessageW(addressCombo, CB_RESETCONTENT, 0, 0);
    for (const auto& entry : addresses)
        SendMessageW(addressCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.first.c_str()));
    int index = addressToKeep(addresses, remembered);
    // The chosen network gone, nothing is chosen in its place: Send then asks for a
    // network instead of sharing on one the phone may not be on.
    if (!chosenAddress.empty() && (addresses.empty() || addresses[static_cast<size_t>(index)].second != chosenAddress))
        index = -1;
    SendMessageW(addressCombo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    labelNoAddress();
}

void labelNoAddress() {
    if (!addresses.empty()) return;
    SendMessageW(addressCombo, CB_RESETCONTENT, 0, 0);
    SendMessageW(addressCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Ui::current(Ui::noLocalNetwork)));
    SendMessageW(addressCombo, CB_SETCURSEL, 0, 0);
}

void drawQr(HDC dc, const RECT& area) {
    Brush light(CreateSolidBrush(palette.qrLight));
    Brush dark(CreateSolidBrush(palette.qrDark));
    FillRect(dc, &area, light.get());
    if (!qr) return;
    const Box box{area.left, area.top, area.right, area.bottom};
    const int modules = qr->getSize();
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            if (!qr->getModule(x, y)) continue;
            const Box module = qrModuleBox(box, modules, x, y);
            const RECT pixels{module.left, module.top, module.right, module.bottom};
            FillRect(dc, &pixels, dark.get());
        }
    }
}

void openQrWindow() {
    if (!qr) return;
    if (qrWindow) {
        SetForegroundWindow(qrWindow);
        return;
    }
    RECT owner{};
    GetWindowRect(windowHandle, &owner);
    const int width = scaled(qrWindowWidth);
    const int height = scaled(qrWindowHeight);
    const int x = owner.left + (owner.right - owner.left - width) / 2;
    const int y = owner.top + (owner.bottom - owner.top - height) / 2;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(windowHandle, GWLP_HINSTANCE));
    qrWindow = CreateWindowExW(WS_EX_TOOLWINDOW, qrClassName, Ui::current(Ui::qrWindowTitle), WS_CAPTION | WS_SYSMENU,
                               x, y, width, height, windowHandle, nullptr, instance, nullptr);
    if (!qrWindow) fail(Ui::Refusal::qrWindowNotOpened);
    ShowWindow(qrWindow, SW_SHOWNORMAL);
}

namespace {

void paintQrWindow(HWND window) {
    PaintScope paint(window);
    HDC dc = paint.dc();
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, whiteBrush);
    const int width = client.right;
    const int height = client.bottom;
    const int side = std::max(0, std::min(width - scaled(qrWindowSpareWidth), height - scaled(qrWindowSpareHeight)));
    const int margin = scaled(qrWindowMargin);
    drawQr(dc, RECT{(width - side) / 2, margin, (width + side) / 2, side + margin});

    Selection font(dc, normalFont);
    SetTextColor(dc, palette.secondary);
    SetBkMode(dc, TRANSPARENT);
    RECT below{margin, side + margin + scaled(qrHintGap), width - margin, height};
    DrawTextW(dc, Ui::current(Ui::qrWindowHint), -1, &below, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace

LRESULT CALLBACK qrProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: paintQrWindow(window); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_DESTROY: qrWindow = nullptr; return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace app
