#pragma once

// Platform-free geometry of the main window: base units, the header drag band,
// the QR module grid and the texts that depend only on state.

#include <cstdint>
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
    bool operator==(const Box& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// Base units to pixels: trunc(units * scale + 0.5).
int toPixels(double units, double scale);
Box toPixels(const Box& units, double scale);

// Screen dpi / 96, lowered so that the window fits the work area height with
// workAreaSpare pixels to spare.
double fittedScale(int dpi, int workAreaHeight);

// Header band that drags the window: y strictly between 42 and 97 base units.
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

// A phone counts as connected while its last page or state request is at most
// this old.
constexpr std::uint64_t connectedWindowMs = 9999;

// The connection line painted under the product name.
std::wstring connectionLine(bool english, bool bluetoothMode, bool serverRunning,
                            std::uint64_t lastStatePoll, std::uint64_t now);

}  // namespace app
