#pragma once

#include <atomic>

#include "base/text_pair.h"

namespace Ui {

// The interface language for the whole process: true is English, false French.
// Written on the interface thread only; read by the link server's threads too.
extern std::atomic<bool> english;

// The text of `text` in the language currently set in `english`.
const wchar_t* current(const TextPair& text);

}  // namespace Ui
