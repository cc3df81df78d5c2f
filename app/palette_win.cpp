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
    Palette colours{};
    colours.frame = frameColour;
    colours.card = colours.cardOutline = cardColour;
    colours.bottomBar = bottomBarColour;
    colours.panel = panelColour;
    colours.panelOutline = borderColour;
    colours.title = darkText;
    colours.secondary = greyText;
    colours.heading = accentColour;
    colours.plain = {panelColour, borderColour, darkText};
    colours.header = {cardColour, borderColour, darkText};
    colours.primary = colours.selected = {accentColour, accentColour, white};
    colours.pressed = {accentPressed, accentPressed, white};
    colours.disabled = {disabledFace, borderColour, greyText};
    colours.disabledPrimary = {disabledFace, disabledFace, greyText};
    colours.qrPlaceholder = {white, white, greyText};
    colours.progressBar = accentColour;
    colours.qrDark = black;
    colours.qrLight = white;
    return colours;
}

Palette systemPalette() {
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF buttonText = GetSysColor(COLOR_BTNTEXT);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    Palette colours = designPalette();  // the QR code's colours stay
    colours.highContrast = true;
    colours.frame = colours.card = colours.panel = window;
    colours.cardOutline = colours.bottomBar = colours.panelOutline = text;
    colours.title = colours.secondary = colours.heading = text;
    // Every button outlined in its caption's colour, so that it reads as a button; the
    // primary ones look like the others, so that only the chosen mode is lit.
    colours.plain = colours.header = colours.primary = colours.qrPlaceholder = {face, buttonText, buttonText};
    colours.selected = colours.pressed = {highlight, buttonText, GetSysColor(COLOR_HIGHLIGHTTEXT)};
    colours.disabled = colours.disabledPrimary = {face, grey, grey};
    colours.progressBar = highlight;
    return colours;
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
