// The real window over long use: hundreds of language switches, link refreshes with
// their QR code redrawn, and openings of the QR window must leave the GDI and USER
// object counts and the handle count where they were. A leak of one object per cycle
// shows as a hundred or more; the tolerance only covers objects the system makes once.
// Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/ui/control_ids.h"
#include "app/window_win.h"
#include "base/language.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "tests/support/main_window_win.h"
#include "tests/support/process_counts.h"

namespace {

using namespace app;
using Counts = testing_support::WindowCounts;

constexpr int tolerance = 8;

// The counts once the process's other threads (the link server's, just started, and
// Wine's) have settled: two readings in a row agree (bounded).
Counts settledCounts() {
    Counts now = Counts::now();
    for (int i = 0; i < 5; ++i) {
        Sleep(100);
        const Counts again = Counts::now();
        if (again.gdi == now.gdi && again.user == now.user && again.handles == now.handles) break;
        now = again;
    }
    return now;
}

class WindowLeaks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        harness = std::make_unique<testing_support::MainWindow>();
        window = harness->get();
        ShowWindow(window, SW_SHOWNOACTIVATE);
        // A running server gives a link and a QR code to draw, on a loopback address of
        // its own so that it needs no port the server tests hold on 127.0.0.1. The PC
        // has that address, or the timer would end the share.
        addressSource = [] { return std::optional<LocalAddressList>({{L"Boucle \u00b7 127.0.0.21", "127.0.0.21"}}); };
        server->start("127.0.0.21");
        ASSERT_TRUE(server->running.load());
    }
    static void TearDownTestSuite() {
        harness.reset();
        window = nullptr;
    }

    // Paints the window and every control now, then handles what painting posted.
    static void repaint(HWND target) {
        RedrawWindow(target, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        testing_support::MainWindow::pump();
    }
    // Runs `cycles` cycles after a few unmeasured ones and checks the three counts.
    template <class F>
    static void expectFlat(const char* what, int cycles, F cycle) {
        for (int i = 0; i < 4; ++i) cycle(i);
        const Counts before = Counts::now();
        for (int i = 0; i < cycles && !HasFatalFailure(); ++i) cycle(i);
        const Counts after = Counts::now();
        std::printf("%d %s: %s\n", cycles, what, after.since(before).c_str());
        EXPECT_LE(after.gdi - before.gdi, tolerance) << what;
        EXPECT_LE(after.user - before.user, tolerance) << what;
        EXPECT_LE(after.handles - before.handles, tolerance) << what;
    }

    static std::unique_ptr<testing_support::MainWindow> harness;
    static HWND window;
};
std::unique_ptr<testing_support::MainWindow> WindowLeaks::harness;
HWND WindowLeaks::window = nullptr;

// The counters must see single objects, or the checks below would prove nothing.
TEST_F(WindowLeaks, CountersSeeEveryObject) {
    const Counts before = settledCounts();
    HBRUSH brushes[20];
    HWND windows[20];
    HMENU menus[20];
    HANDLE events[20];
    for (int i = 0; i < 20; ++i) {
        brushes[i] = CreateSolidBrush(RGB(i, 0, 0));
        windows[i] = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, window, nullptr, nullptr, nullptr);
        menus[i] = CreateMenu();
        events[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    const Counts during = Counts::now();
    for (int i = 0; i < 20; ++i) {
        DeleteObject(brushes[i]);
        DestroyWindow(windows[i]);
        DestroyMenu(menus[i]);
        CloseHandle(events[i]);
    }
    const Counts after = Counts::now();
    EXPECT_GE(during.gdi - before.gdi, 20);
    EXPECT_GE(during.user - before.user, 40);
    EXPECT_GE(during.handles - before.handles, 20);
    EXPECT_EQ(after.gdi, before.gdi);
    EXPECT_EQ(after.user, before.user);
    // The process's other threads (Wine's, the link server's) may hold a handle of their
    // own for a moment; twenty left open would still show.
    EXPECT_LE(after.handles - before.handles, 2);
}

TEST_F(WindowLeaks, LanguageSwitches) {
    expectFlat("language switches", 500, [](int i) {
        SendMessageW(languageCombo, CB_SETCURSEL, (i + 1) % 2, 0);
        harness->command(ControlId::languageList, CBN_SELCHANGE);
        ASSERT_EQ(Ui::english, (i + 1) % 2 == 1);
        repaint(window);
    });
}

TEST_F(WindowLeaks, LinkRefreshesWithTheQrCodeRedrawn) {
    expectFlat("link refreshes", 500, [](int) {
        refreshLink();
        ASSERT_TRUE(qr);
        repaint(window);
    });
}

TEST_F(WindowLeaks, QrWindowOpenedAndClosed) {
    refreshLink();
    expectFlat("QR window openings", 100, [](int) {
        harness->command(ControlId::qr);
        ASSERT_NE(qrWindow, nullptr);
        repaint(qrWindow);
        SendMessageW(qrWindow, WM_CLOSE, 0, 0);
        ASSERT_EQ(qrWindow, nullptr);
    });
}

}  // namespace
