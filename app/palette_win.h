#pragma once

// The colours the window paints, chosen at one place: the design's, or the
// system's while Windows' high contrast is on. Painting reads `palette` and names
// no colour of its own.

#include <windows.h>

namespace app {

// An owner-drawn button's face, its outline and its caption.
struct ButtonColours {
    COLORREF face;
    COLORREF outline;
    COLORREF text;
};

struct Palette {
    bool highContrast;
    COLORREF frame;
    COLORREF card;
    COLORREF cardOutline;
    COLORREF bottomBar;
    COLORREF panel;  // also the QR window's background
    COLORREF panelOutline;
    COLORREF title;      // the product word and the text typed in the boxes
    COLORREF secondary;  // version, connection line, hints, labels
    COLORREF heading;
    ButtonColours plain;
    ButtonColours header;
    ButtonColours primary;
    ButtonColours selected;  // the chosen mode
    ButtonColours pressed;   // a primary button or the chosen mode held down
    ButtonColours disabled;
    ButtonColours disabledPrimary;
    ButtonColours qrPlaceholder;  // the QR button before there is a code
    COLORREF progressBar;
    // Scanners need dark modules on a light quiet zone, whatever the scheme.
    COLORREF qrDark;
    COLORREF qrLight;
};

extern Palette palette;
// Whether Windows' high contrast is on (SPI_GETHIGHCONTRAST); tests set it, since
// Wine always answers off.
extern bool (*highContrastSource)();

Palette designPalette();
// The system's colours (GetSysColor), as they are now.
Palette systemPalette();

// Chooses the palette and makes the brushes of the card and the panels from it.
void choosePalette();
// WM_SETTINGCHANGE and WM_SYSCOLORCHANGE: the palette chosen again, the progress bar
// and every window of ours repainted in it.
void onColoursChanged();

}  // namespace app
