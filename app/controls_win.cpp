// The main window's fonts and controls, created from one table in Tab order.

#include "app/window_win.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "app/accessibility_win.h"
#include "app/layout.h"
#include "app/palette_win.h"
#include "app/ui/labels.h"
#include "app/ui/notices.h"
#include "base/language.h"

namespace app {
namespace {

constexpr DWORD ownerButton = WS_TABSTOP | BS_PUSHBUTTON | BS_OWNERDRAW;
constexpr DWORD dropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
// A static control takes "&" as a mnemonic prefix: none of ours has a mnemonic, and
// names ("Q&A notes.txt", a phone called "Max & Co") must show whole.
constexpr DWORD plainLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD pathLabel = SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS | SS_NOPREFIX;
constexpr DWORD linkBox = ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;

struct ControlRow {
    int id;  // 0 for controls that are only reached through their handle
    HWND* global;
    const wchar_t* className;
    DWORD style;
    DWORD extendedStyle;
    Box place;
    bool small;
    const wchar_t* text;
};

// Creation order is the Tab order.
const ControlRow controlTable[] = {
    {ControlId::languageList, &languageCombo, WC_COMBOBOXW, dropList, 0, Place::languageList, false, L""},
    {ControlId::like, nullptr, WC_BUTTONW, ownerButton, 0, Place::like, false, L""},
    {ControlId::help, nullptr, WC_BUTTONW, ownerButton, 0, Place::help, false, L""},
    {ControlId::updateCheck, nullptr, WC_BUTTONW, ownerButton, 0, Place::updateCheck, false, L""},
    {ControlId::minimize, nullptr, WC_BUTTONW, ownerButton, 0, Place::minimize, false, L""},
    {ControlId::close, nullptr, WC_BUTTONW, ownerButton, 0, Place::close, false, L""},
    {ControlId::wifiMode, nullptr, WC_BUTTONW, ownerButton, 0, Place::wifiMode, false, L""},
    {ControlId::bluetoothMode, nullptr, WC_BUTTONW, ownerButton, 0, Place::bluetoothMode, false, L""},
    {0, &modeSummary, WC_STATICW, plainLabel, 0, Place::modeSummary, true, L""},
    {ControlId::textEdit, &textEdit, WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, Place::textEdit, false, L""},
    {ControlId::textSend, &textSendButton, WC_BUTTONW, ownerButton, 0, Place::textSend, false, L""},
    {ControlId::clearText, nullptr, WC_BUTTONW, ownerButton, 0, Place::clearText, false, L""},
    {0, &fileLabel, WC_STATICW, pathLabel, 0, Place::fileLabel, false, L""},
    {ControlId::chooseFile, nullptr, WC_BUTTONW, ownerButton, 0, Place::chooseFile, false, L""},
    {ControlId::fileSend, &fileSendButton, WC_BUTTONW, ownerButton, 0, Place::fileSend, false, L""},
    {ControlId::removeFile, nullptr, WC_BUTTONW, ownerButton, 0, Place::removeFile, false, L""},
    {ControlId::addressList, &addressCombo, WC_COMBOBOXW, dropList, 0, Place::addressList, false, L""},
    {ControlId::qr, &qrButton, WC_BUTTONW, ownerButton, 0, Place::qr, false, L""},
    {ControlId::linkEdit, &linkEdit, WC_EDITW, linkBox, WS_EX_CLIENTEDGE, Place::linkEdit, true, L""},
    {ControlId::copyLink, &copyLinkButton, WC_BUTTONW, ownerButton, 0, Place::copyLink, false, L""},
    {ControlId::preview, &previewButton, WC_BUTTONW, ownerButton, 0, Place::preview, false, L""},
    {ControlId::start, &startButton, WC_BUTTONW, ownerButton, 0, Place::start, false, L""},
    {ControlId::pair, &pairButton, WC_BUTTONW, ownerButton, 0, Place::pair, false, L""},
    {0, &deviceLabel, WC_STATICW, pathLabel, 0, Place::deviceLabel, true, L""},
    {ControlId::bluetoothPath, &btPathEdit, WC_EDITW, linkBox, WS_EX_CLIENTEDGE, Place::bluetoothPath, true, L""},
    {0, &btProgress, PROGRESS_CLASSW, PBS_SMOOTH, 0, Place::progress, false, L""},
    {ControlId::cancelBluetooth, &cancelBluetoothButton, WC_BUTTONW, ownerButton, 0, Place::cancelBluetooth, false,
     L""},
    {0, &statusLabel, WC_STATICW, plainLabel, 0, Place::statusLabel, true, L""},
};

HFONT makeFont(int height, int weight) {
    return CreateFontW(-scaled(height), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

HWND createControl(HWND parent, const ControlRow& row) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    HWND control = CreateWindowExW(row.extendedStyle, row.className, row.text, WS_CHILD | WS_VISIBLE | row.style,
                                   scaled(row.place.left), scaled(row.place.top), scaled(row.place.width()),
                                   scaled(row.place.height()), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
    if (!control) fail(Ui::Refusal::controlNotCreated);
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
    handleTabInTextBox(textEdit);
    SendMessageW(textEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(scaled(7), scaled(7)));

    SendMessageW(btProgress, PBM_SETRANGE32, 0, 100);
    // A themed bar ignores its colour; this one bar is drawn classic so it is teal.
    SetWindowTheme(btProgress, L" ", L" ");
    SendMessageW(btProgress, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(palette.progressBar));

    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    if (!tooltip) fail(Ui::Refusal::controlNotCreated);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(280));
    makeControlsAccessible(window);
}

}  // namespace app
