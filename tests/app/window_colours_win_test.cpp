// The window's colours: the design's, or the system's while high contrast is on,
// switched while the window runs; and the focus ring. Needs a display.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <qrcodegen.hpp>

#include <optional>

#include "app/palette_win.h"
#include "app/window_win.h"
#include "tests/app/window_module_win.h"
#include "tests/support/system_colours_win.h"

namespace {

using namespace app;

using namespace testing_support::YellowOnBlack;
constexpr COLORREF black = windowColour, white = RGB(0xFF, 0xFF, 0xFF);

// High contrast turned on while the window runs: the seam says on and the system's
// colours change; turned off again on leaving (the seam, then WM_SETTINGCHANGE),
// before the system's colours come back.
class HighContrast {
public:
    explicit HighContrast(HWND window) : window_(window), source_(highContrastSource) {
        highContrastSource = [] { return true; };
        colours_.emplace();
    }
    ~HighContrast() {
        highContrastSource = source_;
        SendMessageW(window_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    }
    HighContrast(const HighContrast&) = delete;
    HighContrast& operator=(const HighContrast&) = delete;

private:
    HWND window_;
    bool (*source_)();
    std::optional<testing_support::SystemColours> colours_;
};

using WindowColours = WindowModule;

TEST_F(WindowColours, HighContrastTakesTheSystemsColoursAndOffGivesTheDesignBack) {
    harness->command(ControlId::wifiMode);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    const Captured design(window);
    {
        const HighContrast on(window);
        const Captured shown(window);
        shown.save("window-high-contrast.bmp");
        EXPECT_EQ(shown.at(1, 300), black) << "frame";
        EXPECT_EQ(shown.at(10, 300), black) << "card";
        EXPECT_EQ(shown.at(16, 350), text) << "a panel's outline";
        EXPECT_EQ(shown.at(20, 370), black) << "a panel";
        // White is left out: the system draws the text box's scroll bar in its own colours.
        for (COLORREF designed :
             {frameColour, cardColour, bottomBarColour, darkText, greyText, accentColour, borderColour, disabledFace})
            EXPECT_EQ(shown.count(designed), 0) << std::hex << "design colour 0x" << designed << " still painted";
        HDC dc = GetDC(window);
        for (const PaintedText& painted : paintedTexts(dc, false, false, false, 0, 0)) {
            EXPECT_EQ(painted.colour, text);
            EXPECT_GT(shown.count(text, scaledRect(painted.box)), 0) << "painted where it belongs";
        }
        ReleaseDC(window, dc);

        // The standard controls' colours, as the colour messages give them.
        for (HWND control : {textEdit, linkEdit, statusLabel, modeSummary}) {
            const Pixels probe(1, 1);
            const UINT message = control == textEdit ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC;
            const auto brush = reinterpret_cast<HBRUSH>(
                SendMessageW(window, message, reinterpret_cast<WPARAM>(probe.dc()), reinterpret_cast<LPARAM>(control)));
            LOGBRUSH fill{};
            GetObjectW(brush, sizeof fill, &fill);
            EXPECT_EQ(GetTextColor(probe.dc()), text);
            EXPECT_EQ(fill.lbColor, black);
        }
        EXPECT_EQ(SendMessageW(btProgress, PBM_GETBARCOLOR, 0, 0), static_cast<LRESULT>(highlight));

        // Owner-drawn buttons: face at (8, 12), outline at (92, 0) and (92, 1), caption.
        struct Look {
            int id;
            UINT state;
            COLORREF face, outline, inner, caption;
        };
        for (const Look& look :
             {Look{ControlId::clearText, 0, face, buttonText, face, buttonText},
              Look{ControlId::help, 0, face, buttonText, face, buttonText},
              Look{ControlId::textSend, 0, face, buttonText, face, buttonText},
              Look{ControlId::textSend, ODS_SELECTED, highlight, buttonText, highlight, highlightText},
              Look{ControlId::textSend, ODS_DISABLED, face, grey, face, grey},
              Look{ControlId::wifiMode, 0, highlight, buttonText, buttonText, highlightText},
              Look{ControlId::bluetoothMode, 0, face, buttonText, face, buttonText}}) {
            const Drawn drawn(window, look.id, look.state);
            EXPECT_EQ(drawn.at(8, 12), look.face) << look.id << " state " << look.state;
            EXPECT_EQ(drawn.at(92, 0), look.outline) << look.id << " state " << look.state;
            EXPECT_EQ(drawn.at(92, 1), look.inner) << look.id << ": only the chosen mode's outline is wider";
            EXPECT_GT(drawn.count(look.caption), 0) << look.id << " state " << look.state;
        }
    }
    const Captured after(window);
    design.save("window-design.bmp");
    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(after == design) << "off again, the design's colours pixel for pixel";
    EXPECT_EQ(after.at(10, 300), cardColour);
}

TEST_F(WindowColours, QrWindowTextTakesTheSystemsColoursAndTheCodeStaysDarkOnLight) {
    qr = std::make_unique<qrcodegen::QrCode>(
        qrcodegen::QrCode::encodeText("http://192.168.1.2:8765/0123456789abcdef/", qrcodegen::QrCode::Ecc::MEDIUM));
    const HighContrast on(window);
    openQrWindow();
    const Captured shown(qrWindow);
    DestroyWindow(qrWindow);
    qr.reset();
    EXPECT_EQ(shown.at(1, 1), black) << "background";
    EXPECT_GT(shown.count(text), 0) << "hint";
    EXPECT_EQ(shown.count(greyText), 0);

    const Pixels code(100, 100);
    qr = std::make_unique<qrcodegen::QrCode>(qrcodegen::QrCode::encodeText("x", qrcodegen::QrCode::Ecc::MEDIUM));
    drawQr(code.dc(), RECT{0, 0, 100, 100});
    qr.reset();
    EXPECT_EQ(code.at(0, 0), white) << "quiet zone";
    EXPECT_GT(code.count(black), 0);
    EXPECT_EQ(code.count(black) + code.count(white), 100 * 100) << "dark modules on light, nothing else";
}

TEST_F(WindowColours, FocusRingIsTwoPixelsWideAtScaleTwoInBothSchemes) {
    struct Ring {
        bool highContrast;
        int id;
        COLORREF face, ring;
    };
    scale = 2.0;
    for (const Ring& row :
         {Ring{false, ControlId::clearText, panelColour, darkText},
          Ring{false, ControlId::textSend, accentColour, white}, Ring{true, ControlId::clearText, face, buttonText},
          Ring{true, ControlId::textSend, face, buttonText}}) {
        std::optional<HighContrast> on;
        if (row.highContrast) on.emplace(window);
        const Drawn drawn(window, row.id, ODS_FOCUS);
        // Inset by 3 units, 6 pixels: the ring then the face, at the left edge and the top.
        for (const POINT& point : {POINT{6, 12}, POINT{7, 12}, POINT{20, 6}, POINT{20, 7}})
            EXPECT_EQ(drawn.at(point.x, point.y), row.ring) << row.id << " at " << point.x << ", " << point.y;
        EXPECT_EQ(drawn.at(8, 12), row.face) << row.id;
        EXPECT_EQ(drawn.at(20, 8), row.face) << row.id;
    }
    scale = 1.0;
}

}  // namespace
