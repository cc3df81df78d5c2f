// Boxes that background results open (an Internet outcome, a failed Bluetooth job, a
// pairing confirmation) wait while another modal window is open. A second box owned
// by the main window would disable nothing new: the user could close the first modal
// window under it, which enables the main window again while the first one's caller
// (the file dialog's, the phone selection's) is still suspended. A modal window
// disables its owner, so "the main window is disabled" is the one test, and the owner
// is told by WM_ENABLE when the last one has closed.

#include "app/window_win.h"

#include <deque>
#include <utility>

namespace app {
namespace {

std::deque<std::function<void()>> waiting;

bool modalWindowOpen() { return windowHandle && !IsWindowEnabled(windowHandle); }

}  // namespace

void afterModalWindows(std::function<void()> box) {
    const bool now = !modalWindowOpen();
    if (now && waiting.empty()) return box();
    waiting.push_back(std::move(box));
    if (now) PostMessageW(windowHandle, modalWindowClosed, 0, 0);
}

void onEnable(bool enabled) {
    // Posted: the caller of the modal window that closed goes on first.
    if (enabled) PostMessageW(windowHandle, modalWindowClosed, 0, 0);
}

void onModalWindowClosed() {
    while (!waiting.empty() && !modalWindowOpen()) {
        std::function<void()> box = std::move(waiting.front());
        waiting.pop_front();
        box();
    }
    // Whatever a modal window's caller wrote meanwhile, the controls and the status
    // line follow the Bluetooth job again.
    pollBluetooth(false);
}

void dropWaitingBoxes() { waiting.clear(); }

}  // namespace app
