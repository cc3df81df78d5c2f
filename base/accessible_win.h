#pragma once

// What a screen reader gets from a control: its object's name, role and state as the
// program says them, and announcements of a control's new text (a live region).

#include <windows.h>

#include <string>

namespace accessible {

// The control's answers; an empty name or a zero role leaves the standard one.
struct Answers {
    std::wstring name;
    long role = 0;
    long addedState = 0;
};
using Describe = Answers (*)(HWND control);

// From now on the control answers a screen reader's request for its client object
// with the standard object, named, given a role and a state by `describe`, asked at
// every request so that they follow the language and the window's state.
void describeControl(HWND control, Describe describe);

// How urgently a live region's changes are read: after what is being said, or at once.
enum class Live : long { polite = 1, assertive = 2 };

// Marks the control as a live region for UI Automation (Windows 10 1709 and later).
void makeLiveRegion(HWND control, Live setting);

// Tells screen readers the live region's text has changed: they read its name.
void announce(HWND control);

}  // namespace accessible
