// The main window as the keyboard meets it: the message loop's dialog keys, the text
// box's Tab and Escape, and where the focus goes when a box closes or a control goes
// away. A plain window that uses IsDialogMessageW gets none of the dialog manager's
// focus keeping, so it is done here.

#include "app/window_win.h"

#include <commctrl.h>

namespace app {
namespace {

// The control that had the focus when the window was last deactivated.
HWND savedFocus = nullptr;

bool usableControl(HWND control) {
    return control && GetParent(control) == windowHandle && IsWindowVisible(control) && IsWindowEnabled(control) &&
           (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP);
}

bool controlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

// A multi-line edit asks for every key: Tab would type a tab character and Escape
// would post WM_CLOSE to the window, ending the program with the text in it. Both go
// to the dialog keys instead; Ctrl+Tab types the tab character.
LRESULT CALLBACK textBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(box, message, wParam, lParam);
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN &&
            (key->wParam == VK_ESCAPE || (key->wParam == VK_TAB && !controlDown())))
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) return 0;
        if (wParam == VK_TAB) {
            SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\t"));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_ESCAPE || wParam == L'\t') return 0;  // handled at the key-down
        break;
    case WM_NCDESTROY: RemoveWindowSubclass(box, textBoxProc, 0); break;
    default: break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

// The control after `from` in the Tab order that can take the focus, else the text
// box, which every mode shows and nothing disables.
HWND nextUsable(HWND from) {
    HWND next = from ? GetNextDlgTabItem(windowHandle, from, FALSE) : nullptr;
    return usableControl(next) && next != from ? next : textEdit;
}

// Before a control with the focus is disabled or hidden, the focus moves on, as
// Tab would move it; left alone, it would fall to nothing and keys would go nowhere.
void moveFocusOff(HWND control) {
    if (control && GetFocus() == control) SetFocus(nextUsable(control));
}

}  // namespace

void handleTabInTextBox(HWND box) { SetWindowSubclass(box, textBoxProc, 0, 0); }

void dispatchMessage(MSG& message) {
    if (windowHandle && IsDialogMessageW(windowHandle, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void focusOnStart() { savedFocus = textEdit; }

void saveFocus() {
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == windowHandle) savedFocus = focus;
}

void restoreFocus() {
    if (!windowHandle || IsIconic(windowHandle)) return;
    SetFocus(usableControl(savedFocus) ? savedFocus : nextUsable(savedFocus));
}

bool onActivate(WPARAM state) {
    if (LOWORD(state) == WA_INACTIVE) {
        saveFocus();
        return false;  // the default handling is right for leaving
    }
    if (HIWORD(state)) return false;  // minimized: the focus waits for the restore
    restoreFocus();
    return true;
}

void pressFocusedButton() {
    HWND focus = GetFocus();
    if (!usableControl(focus)) return;
    wchar_t className[16] = {};
    GetClassNameW(focus, className, 16);
    if (lstrcmpiW(className, WC_BUTTONW) != 0) return;
    onCommand(GetDlgCtrlID(focus), BN_CLICKED);
}

void enableControl(HWND control, bool enabled) {
    if (!control) return;
    if (!enabled) moveFocusOff(control);
    EnableWindow(control, enabled ? TRUE : FALSE);
}

void showControl(HWND control, bool visible) {
    if (!control) return;
    if (!visible) moveFocusOff(control);
    ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}

}  // namespace app
