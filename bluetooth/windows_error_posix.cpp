#include "bluetooth/windows_error.h"

#include <cstring>

std::string windowsError(unsigned long code) {
    std::string text;
    // glibc says "Unknown error N" for codes it does not know: that is no text.
    char buffer[256];
    const char* message = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (message && std::strncmp(message, "Unknown error", 13) != 0) text = message;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    if (text.empty()) text = "Erreur Windows";
    return text + " (" + std::to_string(code) + ")";
}
