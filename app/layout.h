#pragma once

// Platform-free geometry of the main window: base units, where each control sits,
// what is painted where, the header drag band, the QR window and its module grid,
// and which address to keep selected.

#include <string>
#include <utility>
#include <vector>

namespace app {

// The window is designed in base units of a 320 x 612 card.
constexpr int baseWidth = 320;
constexpr int baseHeight = 612;
// Pixels kept free below the window so that it never touches the taskbar.
constexpr int workAreaSpare = 24;

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    bool operator==(const Box& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// A box given as its left, top, width and height, the way controls are placed.
constexpr Box place(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// Where each control of the main window sits, in base units. The window's control
// table creates them here; the window tests click them here.
namespace Place {
constexpr Box languageList = place(20, 16, 106, 110);
constexpr Box like = place(134, 16, 34, 24);
constexpr Box help = place(174, 16, 24, 24);
constexpr Box updateCheck = place(204, 16, 24, 24);
constexpr Box minimize = place(234, 16, 28, 24);
constexpr Box close = place(268, 16, 32, 24);
constexpr Box wifiMode = place(20, 101, 136, 31);
constexpr Box bluetoothMode = place(164, 101, 136, 31);
constexpr Box modeSummary = place(20, 136, 280, 34);
constexpr Box textEdit = place(28, 204, 264, 50);
constexpr Box textSend = place(28, 264, 184, 25);
constexpr Box clearText = place(220, 264, 72, 25);
constexpr Box fileLabel = place(28, 334, 264, 17);
constexpr Box chooseFile = place(28, 357, 72, 26);
constexpr Box fileSend = place(108, 357, 112, 26);
constexpr Box removeFile = place(228, 357, 64, 26);
constexpr Box addressList = place(28, 430, 264, 120);
constexpr Box qr = place(28, 454, 96, 96);
constexpr Box linkEdit = place(136, 486, 156, 20);
constexpr Box copyLink = place(136, 510, 76, 23);
constexpr Box preview = place(220, 510, 72, 23);
constexpr Box start = place(136, 537, 156, 22);
constexpr Box pair = place(28, 430, 264, 27);
constexpr Box deviceLabel = place(28, 461, 264, 17);
constexpr Box bluetoothPath = place(28, 513, 264, 20);
constexpr Box progress = place(28, 538, 180, 18);
constexpr Box cancelBluetooth = place(216, 535, 76, 24);
constexpr Box statusLabel = place(20, 569, 280, 33);
}  // namespace Place

// What the window paints on its card, invalidates and hit-tests, in base units.
namespace Area {
constexpr Box card{6, 6, 314, 606};
constexpr Box bottomBar{134, 604, 186, 607};
constexpr Box title{20, 48, 238, 77};
constexpr Box version{248, 56, 300, 74};
// Repainted on every timer tick, so that it follows the phone's requests.
constexpr Box connectionLine{20, 79, 300, 96};
constexpr Box textPanel{16, 173, 304, 297};
constexpr Box filePanel{16, 305, 304, 391};
constexpr Box thirdPanel{16, 399, 304, 563};
constexpr Box textHeading{28, 184, 292, 199};
constexpr Box fileHeading{28, 316, 292, 331};
constexpr Box thirdHeading{28, 410, 292, 425};
constexpr Box bluetoothHint{28, 479, 292, 511};
// Beside the QR code, above the link. It runs to 8 units from the panel's edge: the
// French hint needs that width to flow into its two lines.
constexpr Box linkHint{136, 454, 300, 484};
// The header band that drags the window; its top and bottom rows do not.
constexpr Box dragBand{0, 42, baseWidth, 97};
}  // namespace Area

// Corners of the rounded shapes, and the inset of a button's focus rectangle.
constexpr int windowCorner = 40;
constexpr int cardCorner = 32;
constexpr int bottomBarCorner = 3;
constexpr int panelCorner = 18;
constexpr int modeButtonCorner = 12;
constexpr int buttonCorner = 8;
constexpr int focusInset = 3;
// The focus ring's width, and the chosen mode's outline under high contrast.
constexpr int focusRingWidth = 1;
constexpr int selectedOutlineWidth = 2;

// The enlarged QR window: its size, the margin around the code, the room kept
// beside and below the code (the hint goes below), and the gap above the hint.
constexpr int qrWindowWidth = 284;
constexpr int qrWindowHeight = 328;
constexpr int qrWindowMargin = 8;
constexpr int qrWindowSpareWidth = 24;
constexpr int qrWindowSpareHeight = 44;
constexpr int qrHintGap = 4;

// Base units to pixels: trunc(units * scale + 0.5).
int toPixels(double units, double scale);
Box toPixels(const Box& units, double scale);

// Screen dpi / 96, lowered so that the window fits the work area height with
// workAreaSpare pixels to spare.
double fittedScale(int dpi, int workAreaHeight);

// Whether a client y lies in the drag band, strictly between its edges.
bool inDragBand(int clientY, double scale);

// Quiet zone of a drawn QR code, in modules, on every side.
constexpr int qrQuietZone = 4;

// Pixel rectangle of module (x, y) of a code of `modules` modules per side drawn
// into the square of side min(width, height) at the top-left of `area`. Edges come
// from integer division of the running position, so neighbours share edges exactly.
Box qrModuleBox(const Box& area, int modules, int x, int y);

// Which address list entry to select after re-enumerating: the last entry whose
// address equals the one selected before, else the first.
int addressToKeep(const std::vector<std::pair<std::wstring, std::string>>& entries, const std::string& previous);

}  // namespace app
