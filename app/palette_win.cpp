// The palette: the design's colours, or the system's under high contrast.

#include "app/palette_win.h"

#include <commctrl.h>

#include "app/window_win.h"

namespace app {
namespace {

constexpr COLORREF white = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF black = RGB(0x00, 0x00, 0x00);

bool systemHighContrast() {
    HIGHCONTRASTW setting{sizeof setting, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void remake(HBRUSH& brush, COLORREF colour) {
    HBRUSH made = CreateSolidBrush(colour);
    if (!made) return;  // the old colour rather than none
    if (brush) DeleteObject(brush);
    brush = made;
}

}  // namespace

Palette palette = designPalette();
bool (*highContrastSource)() = systemHighContrast;

Palette designPalette() {
    const ButtonColours plain{panelColour, borderColour, darkText};
    const ButtonColours accent{accentColour, accentColour, white};
    return Palette{false,
                   frameColour,
                   cardColour,
                   cardColour,
                   bottomBarColour,
                   panelColour,
                   borderColour,
                   darkText,
                   greyText,
                   accentColour,
                   plain,
                   {cardColour, borderColour, darkText},
                   accent,
                   accent,
                   {accentPressed, accentPressed, white},
                   {disabledFace, borderColour, greyText},
                   {disabledFace, disabledFace, greyText},
                   {white, white, greyText},
                   accentColour,
                   black,
                   white};
}

Palette systemPalette() {
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF buttonText = GetSysColor(COLOR_BTNTEXT);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    // Every button outlined in its caption's colour, so that it reads as a button;
    // the primary ones look like the others, so that only the chosen mode is lit.
    const ButtonColours plain{face, buttonText, buttonText};
    const ButtonColours lit{highlight, buttonText, highlightText};
    const ButtonColours off{face, grey, grey};
    return Palette{true, window, window, text,  text, window, text, text, text, text, plain, plain,
                   plain, lit,    lit,    off,   off,  plain,  highlight,  black, white};
}

void choosePalette() {
    palette = highContrastSource() ? systemPalette() : designPalette();
    remake(backgroundBrush, palette.card);
    remake(whiteBrush, palette.panel);
}

void onColoursChanged() {
    choosePalette();
    if (btProgress) {
        SendMessageW(btProgress, WM_SYSCOLORCHANGE, 0, 0);
        SendMessageW(btProgress, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(palette.progressBar));
    }
    if (tooltip) SendMessageW(tooltip, WM_SYSCOLORCHANGE, 0, 0);
    for (HWND window : {windowHandle, qrWindow})
        if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace app
