#include "bluetooth/mime_type.h"

#include <cwctype>
#include <string_view>

namespace {
const std::string fallbackType = "application/octet-stream";
}

bool acceptableContentType(const std::string& type) {
    if (type.empty() || type.size() > 127 || type.find('/') == std::string::npos) return false;
    for (unsigned char c : type) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && std::string_view("!#$&^_.+-/").find(static_cast<char>(c)) == std::string_view::npos)
            return false;
    }
    return true;
}

std::string mimeTypeFor(const std::wstring& name) {
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return fallbackType;
    std::wstring extension = name.substr(dot);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    if (extension == L".txt" || extension == L".log") return "text/plain";
    const std::string registered = registeredContentType(extension);
    return acceptableContentType(registered) ? registered : fallbackType;
}
