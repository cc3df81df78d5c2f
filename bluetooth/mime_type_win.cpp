#include "bluetooth/mime_type.h"

#include <windows.h>

#include "base/text.h"

std::string registeredContentType(const std::wstring& extension) {
    wchar_t value[256] = {};  // 512 bytes
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, extension.c_str(), L"Content Type", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return {};
    try {
        return utf8(value);
    } catch (...) {
        return {};  // an unconvertible value is not a usable type
    }
}
