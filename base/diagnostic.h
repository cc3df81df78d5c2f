#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "base/text_pair.h"

namespace Ui {

// Engine failures carry French messages. Just before one is shown, this turns it into
// English when the interface is English (or always, with forceEnglish): every
// occurrence of every French key in the message is replaced by its English text,
// longest keys first; whatever no key covers (codes, names, Windows texts) is kept.
// Safe to call from any thread.
std::wstring diagnostic(const std::wstring& text, bool forceEnglish = false);

constexpr std::size_t dictionarySize = 111;

// The dictionary's pairs in their listed order, French first.
const std::array<TextPair, dictionarySize>& dictionaryPairs();

}  // namespace Ui
