// The main window procedure: one named handler per message, each run under the
// handler that turns a failure into a warning box.

#include "app/window_win.h"

#include <shellapi.h>

#include <exception>
#include <new>
#include <system_error>

#include "app/layout.h"
#include "app/palette_win.h"
#include "base/text.h"
#include "link/transfer_server.h"
#include "remote/actions.h"

namespace app {
namespace {

LRESULT onCreate(HWND window) {
    windowHandle = window;
    remoteActions = std::make_unique<remote::Actions>(window);
    choosePalette();
    createFonts();
    createControls(window);
    chosenAddress.clear();  // a new window: no network chosen yet
    refreshAdapters();
    refreshLabels();
    readyNotice();
    focusOnStart();
    DragAcceptFiles(window, TRUE);
    SetTimer(window, refreshTimer, refreshPeriodMs, nullptr);
    return 0;
}

LRESULT onHitTest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(window, &point);
    if (inDragBand(point.y, scale)) return HTCAPTION;
    return DefWindowProcW(window, message, wParam, lParam);
}

void onDestroy(HWND window) {
    if (remoteActions) remoteActions->close();
    KillTimer(window, refreshTimer);
    dropWaitingBoxes();
    stopFirewallWatch();
    if (qrWindow) DestroyWindow(qrWindow);
    stopListening();
    if (server) server->stop();
    cancelBluetooth();
    discardPairingRequests();
    PostQuitMessage(0);
}

// Returns true with `result` set when the message was handled.
bool dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_CREATE: result = onCreate(window); return true;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT: paintWindow(window); return true;
    case WM_DRAWITEM:
        drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_NCHITTEST: result = onHitTest(window, message, wParam, lParam); return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        result = controlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE: onColoursChanged(); return true;
    case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return true;
    case WM_DROPFILES: onDropFiles(reinterpret_cast<HDROP>(wParam)); return true;
    case WM_TIMER: onTimer(); return true;
    case internetActionFinished:
        afterModalWindows([wParam, lParam] { onInternetActionFinished(wParam, lParam); });
        return true;
    case pairingRequest: onPairingRequest(wParam, lParam); return true;
    case WM_ENABLE: onEnable(wParam != FALSE); return true;
    case modalWindowClosed: onModalWindowClosed(); return true;
    case firewallRead: onFirewallRead(); return true;
    case WM_ACTIVATE: return onActivate(wParam);
    case WM_SETFOCUS: restoreFocus(); return true;
    case WM_DESTROY: onDestroy(window); return true;
    default: return false;
    }
}

}  // namespace

// A failure's message, as the interface shows it. The library's own texts for
// memory and system failures are English and technical: give the user ours.
std::wstring failureText(const std::exception& failure) {
    if (dynamic_cast<const std::bad_alloc*>(&failure))
        return L"M\u00e9moire insuffisante. Fermez des programmes puis r\u00e9essayez.";
    if (dynamic_cast<const std::system_error*>(&failure))
        return L"Ressources syst\u00e8me insuffisantes. R\u00e9essayez.";
    return messageText(failure, L"Erreur Windows");  // a message that is not UTF-8 cannot be shown as such
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        LRESULT result = 0;
        if (dispatch(window, message, wParam, lParam, result)) return result;
    } catch (const std::exception& failure) {
        try {
            error(failureText(failure));
        } catch (...) {
            // Nothing more can be shown; the message still gets its default handling.
        }
        if (message == WM_CREATE) return -1;
    } catch (...) {
        // A foreign exception must not cross into the system's dispatcher.
        if (message == WM_CREATE) return -1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace app
