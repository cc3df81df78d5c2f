#pragma once

#include <cstdint>
#include <optional>

namespace Ui {

// The language preference lives in the current user's registry.
inline constexpr const wchar_t* preferenceKey = L"Software\\TolvenaireAndroid";
inline constexpr const wchar_t* preferenceValue = L"English";

// The start-up language: a stored DWORD decides (1 is English, anything else French);
// without one, every French display language gives French and any other English.
bool startsInEnglish(std::optional<std::uint32_t> storedValue, std::uint16_t uiLanguage);

#ifdef _WIN32
// Reads the stored choice (or the Windows display language) into Ui::english.
// Writes nothing. Called once, before any window exists.
void loadLanguage();

// Stores the choice as DWORD 0 or 1, creating the key if needed; false when it
// could not be written.
bool saveLanguage(bool inEnglish);

// The language list's selection changed: sets Ui::english from the item index
// (1 is English) and stores it. Returns whether it was stored; on false the caller
// shows languageNotSaved (labels.h) after refreshing the labels.
bool chooseLanguage(int selectedIndex);
#endif

}  // namespace Ui
