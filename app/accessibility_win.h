#pragma once

// What a screen reader gets from the main window beyond its controls' own texts.

#include <windows.h>

namespace app {

// Names every control for what it does, gives the mode buttons their selected state,
// adds an object for the connection line (painted, not a control) and makes it and
// the status line live regions. After createControls.
void makeControlsAccessible(HWND window);
// The status line has a new notice: screen readers say it.
void announceNotice();
// After a change of mode, language or connection (on each tick): the mode buttons'
// states and the connection line's object follow, and a phone that connects or stops
// asking is announced.
void followState();

}  // namespace app
