#include "app/ui/preference.h"

namespace Ui {

namespace {
constexpr std::uint16_t frenchPrimaryLanguage = 0x0C;  // LANG_FRENCH
}

bool startsInEnglish(std::optional<std::uint32_t> storedValue, std::uint16_t uiLanguage) {
    if (storedValue) return *storedValue == 1;
    // The primary language is the low ten bits of a language id; the rest is the region.
    return (uiLanguage & 0x3FF) != frenchPrimaryLanguage;
}

}  // namespace Ui
