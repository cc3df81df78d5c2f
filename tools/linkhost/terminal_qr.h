// The link's QR code drawn in a terminal with block characters, for a phone camera.
#pragma once

#include <string>

// True when standard output is a terminal that can show the code. On Windows this
// also turns on the console's escape sequences.
bool terminalCanShowQr();

// Writes UTF-8 text to the terminal of standard output; a Windows console takes it
// as UTF-16, whatever its code page.
void writeToTerminal(const std::string& text);

// The QR code of `text` (error correction medium, as the window draws it) with a
// four-module quiet zone: one line per two module rows, each line forcing black on
// white so that the code reads the same on dark and light terminal themes.
std::string terminalQr(const std::string& text);
