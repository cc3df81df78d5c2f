#pragma once

// A message-only window standing in for the main window: remote::Actions posts its
// finished-action messages to it, and the test takes their keys.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "remote/actions.h"

class MessageWindow {
public:
    MessageWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TolvenaireTestMessages";
        RegisterClassW(&windowClass);  // already registered by an earlier case: fine
        window_ = CreateWindowExW(0, L"TolvenaireTestMessages", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~MessageWindow() {
        if (window_) DestroyWindow(window_);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND get() const { return window_; }

    // The keys of the next `count` finished-action messages, waiting at most `waitMs`.
    std::vector<std::uint64_t> keys(std::size_t count, ULONGLONG waitMs = 10000) {
        std::vector<std::uint64_t> found;
        const ULONGLONG deadline = GetTickCount64() + waitMs;
        while (found.size() < count) {
            MSG message;
            if (PeekMessageW(&message, window_, remote::ActionFinished, remote::ActionFinished, PM_REMOVE)) {
                EXPECT_EQ(message.lParam, 0);
                found.push_back(static_cast<std::uint64_t>(message.wParam));
                continue;
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_POSTMESSAGE);
        }
        return found;
    }

    // Whether a finished-action message is waiting now.
    bool pending() {
        MSG message;
        return PeekMessageW(&message, window_, remote::ActionFinished, remote::ActionFinished, PM_NOREMOVE) != 0;
    }

private:
    HWND window_ = nullptr;
};
