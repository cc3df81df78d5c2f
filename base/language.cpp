#include "base/language.h"

namespace Ui {

std::atomic<bool> english{false};

}  // namespace Ui
