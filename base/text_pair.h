#pragma once

namespace Ui {

// One user-visible text in French and in English.
struct TextPair {
    const wchar_t* french;
    const wchar_t* english;

    constexpr const wchar_t* in(bool inEnglish) const { return inEnglish ? english : french; }
};

}  // namespace Ui
