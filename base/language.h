#pragma once

#include <atomic>

namespace Ui {

// The interface language for the whole process: true is English, false French.
// Written on the interface thread only; read by the link server's threads too.
extern std::atomic<bool> english;

}  // namespace Ui
