#include <windows.h>

#include "app/ui/preference.h"
#include "base/language.h"

namespace Ui {

void loadLanguage() {
    DWORD value = 0;
    DWORD size = sizeof value;
    std::optional<std::uint32_t> stored;
    // Restricted to REG_DWORD: a value of another type or size counts as absent.
    if (RegGetValueW(HKEY_CURRENT_USER, preferenceKey, preferenceValue, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
        ERROR_SUCCESS)
        stored = value;
    english.store(startsInEnglish(stored, GetUserDefaultUILanguage()));
}

bool saveLanguage(bool inEnglish) {
    const DWORD value = inEnglish ? 1 : 0;
    return RegSetKeyValueW(HKEY_CURRENT_USER, preferenceKey, preferenceValue, REG_DWORD, &value, sizeof value) ==
           ERROR_SUCCESS;
}

bool chooseLanguage(int selectedIndex) {
    const bool inEnglish = selectedIndex == 1;
    english.store(inEnglish);
    return saveLanguage(inEnglish);
}

}  // namespace Ui
