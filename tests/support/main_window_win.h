#pragma once

// The real main window in process, built as the program builds it: the link
// server and the Bluetooth job, the two brushes, both window classes, then the
// window with the product's window procedure. Window tests share it; needs a
// display. Failures to build it throw, so any test framework can report them.

#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/window_win.h"
#include "base/language.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/pairing/authentication.h"
#include "link/transfer_server.h"
#include "platform/socket.h"
#include "remote/actions.h"
#include "tests/support/eventually.h"

namespace testing_support {

// A drop of several paths, as the shell builds it: a DROPFILES header, then the wide
// paths, each ended by a zero, and one more zero.
inline HDROP dropOf(const std::vector<std::wstring>& paths) {
    std::size_t characters = 1;
    for (const auto& path : paths) characters += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* cursor = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const auto& path : paths) {
        std::memcpy(cursor, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        cursor += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class MainWindow {
public:
    MainWindow() {
        Ui::english = false;
        app::scale = 1.0;
        if (!platform::startSockets()) throw std::runtime_error("sockets did not start");
        app::server = std::make_unique<TransferServer>("page", "style", "script");
        app::bluetoothTransfer = std::make_unique<BluetoothTransfer>();
        app::backgroundBrush = CreateSolidBrush(app::cardColour);
        app::whiteBrush = CreateSolidBrush(app::panelColour);
        registerClasses();
        open();
    }
    ~MainWindow() {
        close();
        app::remoteActions.reset();
        app::authenticationListener.reset();
        app::bluetoothTransfer.reset();
        app::server.reset();
        DeleteObject(app::backgroundBrush);
        DeleteObject(app::whiteBrush);
        app::backgroundBrush = app::whiteBrush = nullptr;
    }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window, again after close().
    void open() {
        window_ = CreateWindowExW(0, app::mainClassName, app::windowTitle, WS_POPUP, 100, 50, 320, 612, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!window_) throw std::runtime_error("main window not created");
    }
    // Destroys the window as closing the program does, then frees its fonts as the
    // program's shutdown does. The quit message it posts is dropped: left queued, it
    // would end the next modal loop (a message box) at once.
    void close() {
        if (window_ && IsWindow(window_)) DestroyWindow(window_);
        window_ = nullptr;
        dropQuit();
        for (HFONT* font : {&app::normalFont, &app::titleFont, &app::smallFont, &app::brandFont}) {
            if (*font) DeleteObject(*font);
            *font = nullptr;
        }
    }
    static void dropQuit() {
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }

    HWND get() const { return window_; }
    void command(int id, int notification = 0) const {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, notification), 0);
    }
    // Handles what is waiting in this thread's queue (at most `limit` messages) as
    // the program's message loop does, dialog keys included.
    static void pump(int limit = 100) {
        MSG message;
        for (int i = 0; i < limit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (message.message == WM_QUIT) continue;
            app::dispatchMessage(message);
        }
    }
    // True as soon as `holds()` is, handling this thread's messages meanwhile (bounded;
    // eventually() alone would leave the window's posted results unread).
    template <class Predicate>
    static bool pumpedUntil(Predicate&& holds, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
        return eventually(
            [&] {
                pump();
                return holds();
            },
            deadline);
    }
    // Ticks the window's timer until `reached()` holds (bounded), and once more after,
    // so that the window has shown what it reached.
    template <class Predicate>
    bool tickedUntil(Predicate&& reached, std::chrono::milliseconds deadline = std::chrono::seconds(20)) const {
        const auto tick = [this] { SendMessageW(window_, WM_TIMER, app::refreshTimer, 0); };
        const bool done = pumpedUntil(
            [&] {
                tick();
                return reached();
            },
            deadline);
        if (done) tick();
        return done;
    }
    bool tickedUntil(BluetoothTransfer::State state,
                     std::chrono::milliseconds deadline = std::chrono::seconds(20)) const {
        return tickedUntil([state] { return app::bluetoothTransfer->snapshot().state == state; }, deadline);
    }

private:
    static void registerClasses() {
        static const bool registered = [] {
            WNDCLASSEXW description{};
            description.cbSize = sizeof description;
            description.lpfnWndProc = app::windowProc;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = app::mainClassName;
            if (!RegisterClassExW(&description)) return false;
            description.lpfnWndProc = app::qrProc;
            description.lpszClassName = app::qrClassName;
            return RegisterClassExW(&description) != 0;
        }();
        if (!registered) throw std::runtime_error("window classes not registered");
    }

    HWND window_ = nullptr;
};

}  // namespace testing_support
