#pragma once

// A yellow-on-black system palette, as Windows' High Contrast Black has it, set for
// the life of a guard and given back after (SetSysColors tells every window). Each
// role is a little apart from the others, so that a pixel tells which role painted it.

#include <windows.h>

namespace testing_support {

namespace YellowOnBlack {
constexpr COLORREF windowColour = RGB(0, 0, 0), text = RGB(0xFF, 0xFF, 0x00), face = RGB(0x08, 0x08, 0x08),
                   buttonText = RGB(0xFF, 0xF0, 0x00), highlight = RGB(0x1A, 0xEB, 0xFF),
                   highlightText = RGB(0x00, 0x00, 0x10), grey = RGB(0x3F, 0xF2, 0x3F);
}  // namespace YellowOnBlack

class SystemColours {
public:
    SystemColours() {
        using namespace YellowOnBlack;
        const COLORREF colours[count] = {windowColour, text, face, buttonText, highlight, highlightText, grey};
        for (int i = 0; i < count; ++i) saved_[i] = GetSysColor(roles[i]);
        SetSysColors(count, roles, colours);
    }
    ~SystemColours() { SetSysColors(count, roles, saved_); }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;

private:
    static constexpr int count = 7;
    static constexpr int roles[count] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE, COLOR_BTNTEXT,
                                         COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT};
    COLORREF saved_[count] = {};
};

}  // namespace testing_support
