#include "bluetooth/windows_error.h"

#include <windows.h>

#include "base/text.h"

std::string windowsError(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer) {
        try {
            text = utf8(std::wstring_view(buffer, length));
        } catch (...) {
            text.clear();  // an unconvertible system text is as good as none
        }
    }
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    if (text.empty()) text = "Erreur Windows";
    return text + " (" + std::to_string(code) + ")";
}
