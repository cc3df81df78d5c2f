#include "base/text.h"

std::wstring messageText(const std::exception& failure, const wchar_t* fallback) {
    const char* text = failure.what();
    try {
        return wide(text);
    } catch (...) {
        if (fallback) return fallback;
        std::wstring out;
        for (const char* p = text; *p; ++p)
            out += static_cast<unsigned char>(*p) < 0x80 ? static_cast<wchar_t>(*p) : L'?';
        return out;
    }
}
