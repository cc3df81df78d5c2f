#pragma once

// Keys and mouse input as a person gives them: SendInput puts them in the system's
// input queue, so the window gets them through its message loop, with the keyboard
// state (Shift, Ctrl, Alt) that the dialog keys and the controls read. The window
// must be in the foreground. Each call then handles what is queued, as the program's
// message loop does.

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/main_window_win.h"

namespace testing_support {

// Handles queued messages until none has come for a few milliseconds (bounded).
inline void settle() {
    for (int quiet = 0, rounds = 0; quiet < 3 && rounds < 200; ++rounds) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            quiet = 0;
            MainWindow::pump();
        } else {
            ++quiet;
            Sleep(2);
        }
    }
}

inline INPUT keyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_HOME || key == VK_END)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

inline void send(std::vector<INPUT>& inputs) {
    if (!inputs.empty()) SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    settle();
}

// A key with modifiers held (VK_SHIFT, VK_CONTROL, VK_MENU for Alt), pressed and released.
inline void press(WORD key, const std::vector<WORD>& held = {}) {
    std::vector<INPUT> inputs;
    inputs.reserve(2 * held.size() + 2);
    for (WORD modifier : held) inputs.push_back(keyInput(modifier, false));
    inputs.push_back(keyInput(key, false));
    inputs.push_back(keyInput(key, true));
    for (auto modifier = held.end(); modifier != held.begin();) inputs.push_back(keyInput(*--modifier, true));
    send(inputs);
}

// Characters typed as a keyboard's input method gives them (non-ASCII and beyond the
// BMP included: a surrogate pair is two units).
inline void type(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t unit : text) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = static_cast<WORD>(unit);
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    send(inputs);
}

inline INPUT mouseInput(POINT screen, DWORD flags, DWORD data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = MulDiv(screen.x, 65535, width - 1);
    input.mi.dy = MulDiv(screen.y, 65535, height - 1);
    input.mi.mouseData = data;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return input;
}

enum class Button { Left, Right };

// `clicks` clicks at one screen point: 2 is a double-click.
inline void click(POINT screen, int clicks = 1, Button button = Button::Left) {
    const DWORD down = button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    const DWORD up = button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    std::vector<INPUT> inputs{mouseInput(screen, 0)};
    for (int i = 0; i < clicks; ++i) {
        inputs.push_back(mouseInput(screen, down));
        inputs.push_back(mouseInput(screen, up));
    }
    send(inputs);
}

// The left button pressed at `from`, the mouse moved to `to`, released there.
inline void drag(POINT from, POINT to) {
    std::vector<INPUT> inputs{mouseInput(from, 0), mouseInput(from, MOUSEEVENTF_LEFTDOWN),
                              mouseInput({(from.x + to.x) / 2, (from.y + to.y) / 2}, 0), mouseInput(to, 0),
                              mouseInput(to, MOUSEEVENTF_LEFTUP)};
    send(inputs);
}

inline void wheel(POINT screen, int notches) {
    std::vector<INPUT> inputs{mouseInput(screen, 0),
                              // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): DWORD is 32 bits; negative is meant
                              mouseInput(screen, MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA))};
    send(inputs);
}

// The screen point of a client point of `window`.
inline POINT onScreen(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
}

// Brings `window` to the foreground, so that keys reach its focus (bounded).
inline bool foreground(HWND window) {
    for (int i = 0; i < 50 && GetForegroundWindow() != window; ++i) {
        SetForegroundWindow(window);
        settle();
    }
    return GetForegroundWindow() == window;
}

}  // namespace testing_support
