// The main window's fonts and controls, created from one table in Tab order.

#include "app/window_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "app/ui/labels.h"
#include "base/language.h"

namespace app {
namespace {

constexpr DWORD ownerButton = WS_TABSTOP | BS_PUSHBUTTON | BS_OWNERDRAW;
constexpr DWORD dropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD pathLabel = SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS;
constexpr DWORD linkBox = ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;

struct ControlRow {
    int id;  // 0 for controls that are only reached through their handle
    HWND* global;
    const wchar_t* className;
    DWORD style;
    DWORD extendedStyle;
    int x, y, width, height;
    bool small;
    const wchar_t* text;
};

// Creation order is the Tab order.
const ControlRow controlTable[] = {
    {ControlId::languageList, &languageCombo, WC_COMBOBOXW, dropList, 0, 20, 16, 106, 110, false, L""},
    {ControlId::like, nullptr, WC_BUTTONW, ownerButton, 0, 134, 16, 34, 24, false, L""},
    {ControlId::help, nullptr, WC_BUTTONW, ownerButton, 0, 174, 16, 24, 24, false, L""},
    {ControlId::updateCheck, nullptr, WC_BUTTONW, ownerButton, 0, 204, 16, 24, 24, false, L""},
    {ControlId::minimize, nullptr, WC_BUTTONW, ownerButton, 0, 234, 16, 28, 24, false, L""},
    {ControlId::close, nullptr, WC_BUTTONW, ownerButton, 0, 268, 16, 32, 24, false, L""},
    {ControlId::wifiMode, nullptr, WC_BUTTONW, ownerButton, 0, 20, 101, 136, 31, false, L""},
    {ControlId::bluetoothMode, nullptr, WC_BUTTONW, ownerButton, 0, 164, 101, 136, 31, false, L""},
    {0, &modeSummary, WC_STATICW, SS_LEFT, 0, 20, 136, 280, 34, true, L""},
    {ControlId::textEdit, &textEdit, WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 28, 204, 264, 50, false, L""},
    {ControlId::textSend, &textSendButton, WC_BUTTONW, ownerButton, 0, 28, 264, 184, 25, false, L""},
    {ControlId::clearText, nullptr, WC_BUTTONW, ownerButton, 0, 220, 264, 72, 25, false, L""},
    {0, &fileLabel, WC_STATICW, pathLabel, 0, 28, 334, 264, 17, false, L""},
    {ControlId::chooseFile, nullptr, WC_BUTTONW, ownerButton, 0, 28, 357, 72, 26, false, L""},
    {ControlId::fileSend, &fileSendButton, WC_BUTTONW, ownerButton, 0, 108, 357, 112, 26, false, L""},
    {ControlId::removeFile, nullptr, WC_BUTTONW, ownerButton, 0, 228, 357, 64, 26, false, L""},
    {ControlId::addressList, &addressCombo, WC_COMBOBOXW, dropList, 0, 28, 430, 264, 120, false, L""},
    {ControlId::qr, &qrButton, WC_BUTTONW, ownerButton, 0, 28, 454, 96, 96, false, L""},
    {ControlId::linkEdit, &linkEdit, WC_EDITW, linkBox, WS_EX_CLIENTEDGE, 136, 486, 156, 20, true, L""},
    {ControlId::copyLink, &copyLinkButton, WC_BUTTONW, ownerButton, 0, 136, 510, 76, 23, false, L""},
    {ControlId::preview, &previewButton, WC_BUTTONW, ownerButton, 0, 220, 510, 72, 23, false, L""},
    {ControlId::start, &startButton, WC_BUTTONW, ownerButton, 0, 136, 537, 156, 22, false, L""},
    {ControlId::pair, &pairButton, WC_BUTTONW, ownerButton, 0, 28, 430, 264, 27, false, L""},
    {0, &deviceLabel, WC_STATICW, pathLabel, 0, 28, 461, 264, 17, true, L""},
    {ControlId::bluetoothPath, &btPathEdit, WC_EDITW, linkBox, WS_EX_CLIENTEDGE, 28, 513, 264, 20, true, L""},
    {0, &btProgress, PROGRESS_CLASSW, PBS_SMOOTH, 0, 28, 538, 180, 18, false, L""},
    {ControlId::cancelBluetooth, &cancelBluetoothButton, WC_BUTTONW, ownerButton, 0, 216, 535, 76, 24, false, L""},
    {0, &statusLabel, WC_STATICW, SS_LEFT, 0, 20, 569, 280, 33, true, L""},
};

HFONT makeFont(int height, int weight) {
    return CreateFontW(-scaled(height), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"Segoe UI");
}

HWND createControl(HWND parent, const ControlRow& row) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    HWND control = CreateWindowExW(row.extendedStyle, row.className, row.text,
                                   WS_CHILD | WS_VISIBLE | row.style, scaled(row.x), scaled(row.y),
                                   scaled(row.width), scaled(row.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
    if (!control) fail(L"Cr\u00e9ation d\u2019une commande impossible.", L"Could not create a window control.");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont), FALSE);
    if (row.small) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(smallFont), FALSE);
    return control;
}

}  // namespace

void createFonts() {
    normalFont = makeFont(13, FW_NORMAL);
    titleFont = makeFont(25, FW_SEMIBOLD);
    smallFont = makeFont(12, FW_NORMAL);
    brandFont = makeFont(11, FW_BOLD);
}

void createControls(HWND window) {
    for (const ControlRow& row : controlTable) {
        HWND control = createControl(window, row);
        if (row.global) *row.global = control;
    }

    for (const Ui::ControlGlyph& glyph : Ui::headerGlyphs) SetDlgItemTextW(window, glyph.id, glyph.caption);
    for (const wchar_t* item : Ui::languageItems)
        SendMessageW(languageCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(languageCombo, CB_SETCURSEL, Ui::languageIndex(Ui::english), 0);

    SendMessageW(textEdit, EM_SETLIMITTEXT, 1048576, 0);
    SendMessageW(textEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(scaled(7), scaled(7)));

    SendMessageW(btProgress, PBM_SETRANGE32, 0, 100);
    // A themed bar ignores its colour; this one bar is drawn classic so it is teal.
    SetWindowTheme(btProgress, L" ", L" ");
    SendMessageW(btProgress, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(accentColour));

    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                              instance, nullptr);
    if (!tooltip) fail(L"Cr\u00e9ation d\u2019une commande impossible.", L"Could not create a window control.");
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(280));
}

}  // namespace app
