#include "app/layout.h"

#include <gtest/gtest.h>
#include <qrcodegen.hpp>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/places.h"

namespace {

using app::Box;

TEST(LayoutConversion, RoundsHalfUpAndTruncatesTheRest) {
    EXPECT_EQ(app::toPixels(320, 1.0), 320);
    EXPECT_EQ(app::toPixels(612, 1.25), 765);
    EXPECT_EQ(app::toPixels(42, 1.25), 53);  // 52.5
    EXPECT_EQ(app::toPixels(7, 1.75), 12);   // 12.25
    EXPECT_EQ(app::toPixels(13, 1.5), 20);   // 19.5
    EXPECT_EQ(app::toPixels(11, 1.3), 14);   // 14.3
    EXPECT_EQ(app::toPixels(0, 2.0), 0);
    const Box panel = app::toPixels(Box{16, 173, 304, 297}, 1.5);
    EXPECT_EQ(panel, (Box{24, 260, 456, 446}));  // 259.5 rounds up, 445.5 too
}

TEST(LayoutConversion, ScaleFollowsDpiUnlessTheWorkAreaIsTooLow) {
    EXPECT_DOUBLE_EQ(app::fittedScale(96, 1000), 1.0);
    EXPECT_DOUBLE_EQ(app::fittedScale(144, 1400), 1.5);
    // 612 units at 1.5 need 918 + 24 pixels; a 900-pixel work area lowers it.
    const double lowered = app::fittedScale(144, 900);
    EXPECT_DOUBLE_EQ(lowered, (900 - 24) / 612.0);
    EXPECT_LE(app::toPixels(app::baseHeight, lowered) + app::workAreaSpare, 900);
    // Exactly enough room keeps the dpi scale.
    EXPECT_DOUBLE_EQ(app::fittedScale(96, 612 + 24), 1.0);
}

// Each control's x, y, width and height, as the window's design gives them.
const std::map<std::string, std::array<int, 4>> designedControls = {
    {"languageList", {20, 16, 106, 110}},
    {"like", {134, 16, 34, 24}},
    {"help", {174, 16, 24, 24}},
    {"updateCheck", {204, 16, 24, 24}},
    {"minimize", {234, 16, 28, 24}},
    {"close", {268, 16, 32, 24}},
    {"wifiMode", {20, 101, 136, 31}},
    {"bluetoothMode", {164, 101, 136, 31}},
    {"modeSummary", {20, 136, 280, 34}},
    {"textEdit", {28, 204, 264, 50}},
    {"textSend", {28, 264, 184, 25}},
    {"clearText", {220, 264, 72, 25}},
    {"fileLabel", {28, 334, 264, 17}},
    {"chooseFile", {28, 357, 72, 26}},
    {"fileSend", {108, 357, 112, 26}},
    {"removeFile", {228, 357, 64, 26}},
    {"addressList", {28, 430, 264, 120}},
    {"qr", {28, 454, 96, 96}},
    {"linkEdit", {136, 486, 156, 20}},
    {"copyLink", {136, 510, 76, 23}},
    {"preview", {220, 510, 72, 23}},
    {"start", {136, 537, 156, 22}},
    {"pair", {28, 430, 264, 27}},
    {"deviceLabel", {28, 461, 264, 17}},
    {"bluetoothPath", {28, 513, 264, 20}},
    {"progress", {28, 538, 180, 18}},
    {"cancelBluetooth", {216, 535, 76, 24}},
    {"statusLabel", {20, 569, 280, 33}},
};

// Each painted area's left, top, right and bottom, as the design gives them. The link
// hint is left out: it is wider than designed so that the French hint flows into its
// two lines, which the window module's painted-text check proves.
const std::map<std::string, std::array<int, 4>> designedAreas = {
    {"card", {6, 6, 314, 606}},           {"bottomBar", {134, 604, 186, 607}},   {"title", {20, 48, 238, 77}},
    {"version", {248, 56, 300, 74}},      {"connectionLine", {20, 79, 300, 96}}, {"textPanel", {16, 173, 304, 297}},
    {"filePanel", {16, 305, 304, 391}},   {"thirdPanel", {16, 399, 304, 563}},   {"textHeading", {28, 184, 292, 199}},
    {"fileHeading", {28, 316, 292, 331}}, {"thirdHeading", {28, 410, 292, 425}}, {"bluetoothHint", {28, 479, 292, 511}},
    {"dragBand", {0, 42, 320, 97}},
};

TEST(LayoutNames, EveryNamedBoxIsTheDesignedOne) {
    for (const testing_support::NamedBox& place : testing_support::places) {
        const auto [x, y, width, height] = designedControls.at(place.name);
        EXPECT_EQ(place.box, app::place(x, y, width, height)) << place.name;
    }
    for (const testing_support::NamedBox& area : testing_support::areas) {
        if (std::string(area.name) == "linkHint") continue;
        const auto [left, top, right, bottom] = designedAreas.at(area.name);
        EXPECT_EQ(area.box, (Box{left, top, right, bottom})) << area.name;
    }
    EXPECT_EQ(std::size(testing_support::places), designedControls.size());
    EXPECT_EQ(app::baseWidth, 320);
    EXPECT_EQ(app::baseHeight, 612);
    EXPECT_EQ(app::qrWindowWidth, 284);
    EXPECT_EQ(app::qrWindowHeight, 328);
}

// The edges at scale 1 are checked through the window's hit test (HeaderBandDragsButNotItsEdges).
TEST(DragBand, BandEdgesAreExcluded) {
    // At 1.5 the band runs from 63 to 146 (145.5 rounded), both excluded.
    EXPECT_FALSE(app::inDragBand(63, 1.5));
    EXPECT_TRUE(app::inDragBand(64, 1.5));
    EXPECT_TRUE(app::inDragBand(145, 1.5));
    EXPECT_FALSE(app::inDragBand(146, 1.5));
}

qrcodegen::QrCode linkCode() {
    return qrcodegen::QrCode::encodeText("http://192.168.77.2:8765/0123456789abcdef0123456789abcdef/",
                                         qrcodegen::QrCode::Ecc::MEDIUM);
}

// Paints the modules into a pixel grid the size of the area, counting how often
// each pixel is painted.
std::vector<int> paint(const qrcodegen::QrCode& code, const Box& area, int width, int height) {
    std::vector<int> pixels(static_cast<size_t>(width * height), 0);
    const int n = code.getSize();
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (!code.getModule(x, y)) continue;
            const Box m = app::qrModuleBox(area, n, x, y);
            for (int py = m.top; py < m.bottom; ++py)
                for (int px = m.left; px < m.right; ++px) ++pixels[static_cast<size_t>(py) * width + px];
        }
    }
    return pixels;
}

TEST(QrModules, NeighboursShareEdgesWithoutGapsOrOverlap) {
    const qrcodegen::QrCode code = linkCode();
    const int n = code.getSize();
    for (int side : {72, 96, 97, 144, 284, 500}) {
        const Box area{28, 454, 28 + side, 454 + side};
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j + 1 < n; ++j) {
                const Box here = app::qrModuleBox(area, n, j, i);
                const Box right = app::qrModuleBox(area, n, j + 1, i);
                const Box below = app::qrModuleBox(area, n, i, j + 1);
                const Box above = app::qrModuleBox(area, n, i, j);
                ASSERT_EQ(here.right, right.left) << "side " << side;
                ASSERT_EQ(here.top, right.top);
                ASSERT_EQ(above.bottom, below.top) << "side " << side;
                ASSERT_GT(here.right, here.left) << "empty module at side " << side;
                ASSERT_GT(above.bottom, above.top);
            }
        }
    }
}

TEST(QrModules, QuietZoneOfFourModulesOnEverySide) {
    const qrcodegen::QrCode code = linkCode();
    const int n = code.getSize();
    ASSERT_EQ(n, 33);  // a 58-character link at medium correction: 33 + 8 modules across
    // Pixels before the first module and after the last one, worked out by hand from
    // edges at k * side / 41: for 96 pixels the first module starts at 384 / 41 = 9.
    const struct { int side, before, after; } cases[] = {{72, 7, 8}, {96, 9, 10}, {123, 12, 12}, {284, 27, 28}};
    for (const auto& c : cases) {
        const Box area{10, 20, 10 + c.side, 20 + c.side};
        const Box first = app::qrModuleBox(area, n, 0, 0);
        const Box last = app::qrModuleBox(area, n, n - 1, n - 1);
        EXPECT_EQ(first.left - area.left, c.before) << c.side;
        EXPECT_EQ(first.top - area.top, c.before) << c.side;
        EXPECT_EQ(area.right - last.right, c.after) << c.side;
        EXPECT_EQ(area.bottom - last.bottom, c.after) << c.side;
        int narrowest = c.side;
        for (int x = 0; x < n; ++x) {
            const Box module = app::qrModuleBox(area, n, x, 0);
            narrowest = std::min(narrowest, module.right - module.left);
        }
        EXPECT_GE(c.before, 4 * narrowest) << "quiet zone narrower than four modules at " << c.side;
    }
}

TEST(QrModules, PaintedPixelsReproduceTheCodeExactly) {
    const qrcodegen::QrCode code = linkCode();
    const int n = code.getSize();
    const int total = n + 2 * app::qrQuietZone;
    // A wide area: the code is a square of the smaller side at the top-left.
    const int width = 150, height = 96;
    const Box area{0, 0, width, height};
    const std::vector<int> pixels = paint(code, area, width, height);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const int count = pixels[static_cast<size_t>(py) * width + px];
            ASSERT_LE(count, 1) << "pixel painted twice at " << px << "," << py;
            // The module a pixel belongs to, by the same integer edges.
            int mx = -1, my = -1;
            for (int k = 0; k < total; ++k) {
                if (k * height / total <= px && px < (k + 1) * height / total) mx = k - app::qrQuietZone;
                if (k * height / total <= py && py < (k + 1) * height / total) my = k - app::qrQuietZone;
            }
            const bool inCode = px < height && mx >= 0 && mx < n && my >= 0 && my < n;
            const bool dark = inCode && code.getModule(mx, my);
            ASSERT_EQ(count == 1, dark) << "pixel " << px << "," << py;
        }
    }
}

TEST(AddressList, KeepsThePreviousAddressWhenStillPresent) {
    const std::vector<std::pair<std::wstring, std::string>> now{{L"Wi-Fi \u00b7 192.168.1.20", "192.168.1.20"},
                                                                {L"Ethernet \u00b7 10.0.0.5", "10.0.0.5"},
                                                                {L"VPN \u00b7 10.8.0.2", "10.8.0.2"}};
    EXPECT_EQ(app::addressToKeep(now, "10.0.0.5"), 1);  // moved from first to second place
    EXPECT_EQ(app::addressToKeep(now, "10.8.0.2"), 2);
    EXPECT_EQ(app::addressToKeep(now, "172.16.0.9"), 0);  // gone: the likeliest entry
    EXPECT_EQ(app::addressToKeep(now, ""), 0);            // nothing was selected
    EXPECT_EQ(app::addressToKeep({}, "10.0.0.5"), 0);
    // Two adapters listing the same address: the last one wins.
    const std::vector<std::pair<std::wstring, std::string>> twice{
        {L"A \u00b7 10.0.0.5", "10.0.0.5"}, {L"B \u00b7 10.0.0.6", "10.0.0.6"}, {L"C \u00b7 10.0.0.5", "10.0.0.5"}};
    EXPECT_EQ(app::addressToKeep(twice, "10.0.0.5"), 2);
}

}  // namespace
