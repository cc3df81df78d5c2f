#include "tools/linkhost/terminal_qr.h"

#include <cstdio>

#include "qrcodegen.hpp"

#ifdef _WIN32
#include <windows.h>

#include "base/text.h"
#else
#include <unistd.h>
#endif

namespace {

constexpr int quietZone = 4;
// Black foreground on bright white background; reset at the end of each line so the
// terminal's own colours never bleed into the code or out of it.
constexpr const char* blackOnWhite = "\x1b[30;107m";
constexpr const char* resetColours = "\x1b[0m";

}  // namespace

bool terminalCanShowQr() {
#ifdef _WIN32
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return false;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return isatty(STDOUT_FILENO) == 1;
#endif
}

void writeToTerminal(const std::string& text) {
    std::fflush(stdout);
#ifdef _WIN32
    const std::wstring units = wide(text);
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), units.data(), static_cast<DWORD>(units.size()), &written, nullptr);
#else
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
#endif
}

std::string terminalQr(const std::string& text) {
    const qrcodegen::QrCode qr = qrcodegen::QrCode::encodeText(text.c_str(), qrcodegen::QrCode::Ecc::MEDIUM);
    const int first = -quietZone;
    const int end = qr.getSize() + quietZone;
    std::string out;
    for (int y = first; y < end; y += 2) {
        out += blackOnWhite;
        for (int x = first; x < end; ++x) {
            // getModule is false outside the grid: that draws the quiet zone.
            const bool top = qr.getModule(x, y);
            const bool bottom = qr.getModule(x, y + 1);
            out += top && bottom ? u8"\u2588" : top ? u8"\u2580" : bottom ? u8"\u2584" : " ";
        }
        out += resetColours;
        out += '\n';
    }
    return out;
}
