#pragma once

// The fixture of the window module's tests: one real main window per suite, built as
// the program builds it (tests/support/main_window_win.h). Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/main_window_win.h"

class WindowModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        harness = std::make_unique<testing_support::MainWindow>();
        window = harness->get();
    }
    static void TearDownTestSuite() {
        harness.reset();
        window = nullptr;
    }
    static bool shown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

    static inline std::unique_ptr<testing_support::MainWindow> harness;
    static inline HWND window = nullptr;
};
