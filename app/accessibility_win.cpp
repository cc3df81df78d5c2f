// The main window's objects for screen readers: names in the window's language from
// the texts' home, the selected mode as the checked one of two radio buttons, and the
// status line and the connection line as live regions.

#include "app/accessibility_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cwchar>

#include "app/ui/labels.h"
#include "app/window_win.h"
#include "base/accessible_win.h"
#include "base/language.h"
#include "link/transfer_server.h"

namespace app {
namespace {

HWND connectionObject = nullptr;
Ui::TextPair shownConnection{L"", L""};
bool shownEnglish = false;
bool shownMode = false;

accessible::Answers describeControl(HWND control) {
    const bool english = Ui::english;
    const int id = GetDlgCtrlID(control);
    accessible::Answers answers;
    if (control == btProgress) answers.name = Ui::progressName.in(english);
    for (const Ui::ControlText& spoken : Ui::spokenNames)
        if (spoken.id == id) answers.name = spoken.text.in(english);
    for (const Ui::ControlText& tip : Ui::tooltips)
        if (tip.id == id) answers.name = tip.text.in(english);
    if (id == ControlId::wifiMode || id == ControlId::bluetoothMode) {
        answers.role = ROLE_SYSTEM_RADIOBUTTON;
        if ((id == ControlId::bluetoothMode) == bluetoothMode) answers.addedState = STATE_SYSTEM_CHECKED;
    }
    return answers;
}

// The card paints the connection line; its object only carries the text. Setting the
// text through the default handling keeps the static from drawing it a second time.
LRESULT CALLBACK unpainted(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_PAINT: ValidateRect(control, nullptr); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return DefWindowProcW(control, message, wParam, lParam);
    case WM_NCDESTROY: RemoveWindowSubclass(control, unpainted, 0); break;
    default: break;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

bool same(const Ui::TextPair& one, const Ui::TextPair& other) { return wcscmp(one.french, other.french) == 0; }

bool phoneState(const Ui::TextPair& line) {
    return same(line, Ui::Painted::connectionConnected) || same(line, Ui::Painted::connectionWaiting);
}

}  // namespace

void makeControlsAccessible(HWND window) {
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        accessible::describeControl(control, describeControl);
    const RECT line = scaledRect(Area::connectionLine);
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    connectionObject =
        CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, line.left, line.top,
                        line.right - line.left, line.bottom - line.top, window, nullptr, instance, nullptr);
    if (connectionObject) {
        SetWindowSubclass(connectionObject, unpainted, 0, 0);
        // First in reading order, as it is on screen; the status line stays the last.
        SetWindowPos(connectionObject, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    accessible::makeLiveRegion(statusLabel, accessible::Live::polite);
    accessible::makeLiveRegion(connectionObject, accessible::Live::polite);
    shownMode = bluetoothMode;
}

void announceNotice() { accessible::announce(statusLabel); }

void followState() {
    if (shownMode != bluetoothMode) {
        shownMode = bluetoothMode;
        for (int id : {ControlId::wifiMode, ControlId::bluetoothMode})
            NotifyWinEvent(EVENT_OBJECT_STATECHANGE, GetDlgItem(windowHandle, id), OBJID_CLIENT, CHILDID_SELF);
    }
    if (!connectionObject) return;
    const bool running = server && server->running;
    const Ui::TextPair line =
        Ui::connectionLine(bluetoothMode, running, server ? server->lastStatePoll.load() : 0, tickSource());
    const bool english = Ui::english;
    if (same(line, shownConnection) && english == shownEnglish) return;
    SetWindowTextW(connectionObject, line.in(english));
    const bool phoneCameOrWent = phoneState(line) && phoneState(shownConnection) && !same(line, shownConnection);
    shownConnection = line;
    shownEnglish = english;
    if (phoneCameOrWent) accessible::announce(connectionObject);
}

}  // namespace app
