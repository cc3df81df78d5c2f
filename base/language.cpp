#include "base/language.h"

namespace Ui {

std::atomic<bool> english{false};

const wchar_t* current(const TextPair& text) { return text.in(english.load()); }

}  // namespace Ui
