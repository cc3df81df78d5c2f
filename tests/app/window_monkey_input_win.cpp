// The driver's real input: keys and the mouse through the program's own loop, and the
// one path by which every press of a button is made and modelled.

#include "tests/app/window_monkey_win.h"

#include <algorithm>

namespace window_monkey {

// Presses button `id` by `deliver`: a command message, a click or a key. The phone
// picker, the file dialog and the phone are set up first for the sends, and what the
// command shares is noted in the model afterwards, however it was pressed.
bool Monkey::press(int id, const std::function<void()>& deliver) {
    const bool sends = id == ControlId::textSend || id == ControlId::fileSend;
    const bool dialogFirst = id == ControlId::chooseFile || (id == ControlId::fileSend && model_.chosen.empty());
    if (sends || id == ControlId::chooseFile || id == ControlId::pair) {
        // Phone picker: a phone, the other phone, cancelled, or no radio.
        const unsigned pick = below(10);
        devices_.radio = pick != 9;
        devices_.pickerError = pick >= 7 ? ERROR_CANCELLED : 0;
        devices_.picked = {phoneInfo(pick == 6 ? phoneB : phoneA, pick == 6 ? L"Galaxy" : L"Pixel", true)};
        if (id == ControlId::pair || (model_.bluetooth && id != ControlId::chooseFile))
            note(pick == 9 ? "(picker: no radio)" : pick >= 7 ? "(picker: cancelled)" : "(picker: a phone)");
        // File dialog: a file, or cancelled.
        pendingChoice_ = chance(60) ? (chance(50) ? plainFile_ : wideFile_) : L"";
        if (dialogFirst)
            note(pendingChoice_.empty() ? "(dialog cancelled)" : "(dialog: " + narrow(pendingChoice_) + ")");
    }
    if (sends) {  // the phone's part in a new job
        std::lock_guard<std::mutex> lock(phone_->mutex);
        phone_->plan = static_cast<PhoneSide::Plan>(below(4));
        phone_->holdConnect = chance(40);
        phone_->connectReleased = false;
        phone_->holdOffer = chance(60);
        phone_->offerReleased = false;
        phone_->holdEnd = chance(30);
        phone_->endReleased = false;
        if (model_.bluetooth) {
            static const char* plans[] = {"accepts", "refuses", "breaks", "unreachable"};
            note(std::string("(phone ") + plans[phone_->plan] + (phone_->holdConnect ? ", slow to connect" : "") +
                 (phone_->holdOffer ? ", slow to answer" : "") + (phone_->holdEnd ? ", slow to end" : "") + ")");
        }
    }
    const std::wstring typed = readText(textEdit);
    const bool wasRunning = server->running;
    const std::size_t boxesBefore = boxes_.size();
    deliver();

    // One press, one run of its command: Start changes the sharing once (or says why
    // not), Help opens one box.
    int helpBoxes = 0;
    bool warned = false;
    for (std::size_t i = boxesBefore; i < boxes_.size(); ++i) {
        if (boxes_[i].caption.rfind(L"Aide \u00b7", 0) == 0 || boxes_[i].caption.rfind(L"Help \u00b7", 0) == 0)
            ++helpBoxes;
        warned = warned || boxes_[i].caption == L"Tolvenaire Android";
    }
    if (id == ControlId::help && helpBoxes != 1) clickProblem_ = "Help opened " + std::to_string(helpBoxes) + " boxes";
    // Sharing on an address the network no longer offers ends at the window's next read
    // of the addresses, which may come first: then Stop finds nothing to stop.
    const bool addressGone =
        wasRunning && std::none_of(offeredAddresses.begin(), offeredAddresses.end(),
                                   [](const auto& entry) { return entry.second == server->address; });
    if (id == ControlId::start && wasRunning == server->running && !warned && !addressGone)
        clickProblem_ = wasRunning ? "Stop sharing left the sharing on" : "Start sharing left the sharing off";

    // What the command changed, by its own rules.
    switch (id) {
    case ControlId::wifiMode:
    case ControlId::bluetoothMode: model_.bluetooth = id == ControlId::bluetoothMode; break;
    case ControlId::removeFile:
        model_.fileShared = false;
        model_.chosen.clear();
        break;
    case ControlId::clearText:
        model_.text.clear();
        boxText_.clear();
        break;
    case ControlId::close: closeAsked_ = true; break;
    case ControlId::like:
    case ControlId::updateCheck: {
        // A started action runs on its own thread: wait (bounded) until it is there.
        const remote::Action action = id == ControlId::like ? remote::Action::Like : remote::Action::Update;
        if (IsWindow(window()) && !IsWindowEnabled(GetDlgItem(window(), id)))
            MainWindow::pumpedUntil([&] { return internet_->running(action); }, std::chrono::milliseconds(5000));
        break;
    }
    default: break;
    }
    if (dialogFirst && !pendingChoice_.empty() && selectedPath == pendingChoice_) model_.chosen = pendingChoice_;
    if (model_.bluetooth) return true;
    if (id == ControlId::textSend) {
        try {
            const std::string text = utf8(typed);
            if (!text.empty() && text.size() <= maximumTextBytes) model_.text = text;
        } catch (const std::exception&) {
            // Not Unicode: refused, nothing shared.
        }
    }
    if (id == ControlId::fileSend && !model_.chosen.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(model_.chosen.c_str(), GetFileExInfoStandard, &data)) {
            model_.fileShared = true;
            model_.sharedName = model_.chosen.substr(model_.chosen.find_last_of(L"\\/") + 1);
            model_.sharedSize = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    }
    return true;
}

// Real input goes to the foreground window: the main one, or the QR window over it.
bool Monkey::foreground() {
    if (IsIconic(window())) return false;
    for (int i = 0; i < 20 && GetForegroundWindow() != window() && (!qrWindow || GetForegroundWindow() != qrWindow);
         ++i) {
        SetForegroundWindow(window());
        testing_support::settle();
    }
    return GetForegroundWindow() == window() || (qrWindow && GetForegroundWindow() == qrWindow);
}

// A key, a chord or typed characters, to whatever has the focus.
bool Monkey::pressKey() {
    if (!foreground()) return false;
    addressBefore_ = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    struct Stroke {
        const char* name;
        WORD key;
        std::vector<WORD> held;
        bool edits;  // in the text box
    };
    static const Stroke strokes[] = {
        {"Tab", VK_TAB, {}, false},
        {"Shift+Tab", VK_TAB, {VK_SHIFT}, false},
        {"Space", VK_SPACE, {}, true},
        {"Enter", VK_RETURN, {}, true},
        {"Escape", VK_ESCAPE, {}, false},
        {"Up", VK_UP, {}, false},
        {"Down", VK_DOWN, {}, false},
        {"Left", VK_LEFT, {}, false},
        {"Right", VK_RIGHT, {}, false},
        {"Home", VK_HOME, {}, false},
        {"End", VK_END, {}, false},
        {"Backspace", VK_BACK, {}, true},
        {"Ctrl+A", 'A', {VK_CONTROL}, false},
        {"Ctrl+C", 'C', {VK_CONTROL}, false},
        {"Ctrl+V", 'V', {VK_CONTROL}, true},
        {"Ctrl+X", 'X', {VK_CONTROL}, true},
        {"Ctrl+Z", 'Z', {VK_CONTROL}, true},
        {"Ctrl+Tab", VK_TAB, {VK_CONTROL}, true},
        {"Alt+Down", VK_DOWN, {VK_MENU}, false},
    };
    static const wchar_t* const typed[] = {L"a", L"Bonjour ", L"\u00e9t\u00e9 \u20ac\u2019", L"\U0001F600", L"E", L"F"};
    HWND main = window();
    HWND focus = GetFocus();
    const bool mainActive = GetActiveWindow() == main;
    const unsigned roll = below(100);
    std::function<void()> deliver;
    std::string name;
    bool edits = true;
    WORD key = 0;
    if (roll < 2) {  // Alt+F4 asks the active window to close
        name = "Alt+F4";
        deliver = [] { testing_support::press(VK_F4, {VK_MENU}); };
        closeAsked_ = mainActive;
        edits = false;
    } else if (roll < 25) {
        const std::wstring text = typed[below(6)];
        name = "typed \"" + narrow(text) + "\"";
        deliver = [text] { testing_support::type(text); };
    } else {
        const Stroke& stroke = strokes[below(sizeof strokes / sizeof strokes[0])];
        name = stroke.name;
        key = stroke.key;
        edits = stroke.edits;
        deliver = [&stroke] { testing_support::press(stroke.key, stroke.held); };
    }
    note(name + " to " + (qrWindow && GetActiveWindow() == qrWindow ? "the QR window" : controlName(main, focus)));
    // Space and Enter press the focused button, by its own rules.
    if ((key == VK_SPACE || key == VK_RETURN) && mainActive && focus && GetParent(focus) == main && isButton(focus))
        press(GetDlgCtrlID(focus), deliver);
    else {
        textMayChange_ = focus == textEdit && edits;
        deliver();
    }
    followLanguageList();
    return true;
}

// Keys and the wheel choose in the language list as a person does: the interface
// must then be in the language the list shows.
void Monkey::followLanguageList() {
    if (!IsWindow(window())) return;
    // While the list is dropped down the user is still choosing, and the interface may
    // already follow what it highlights; once it is closed, it shows the choice.
    if (SendMessageW(languageCombo, CB_GETDROPPEDSTATE, 0, 0))
        model_.english = Ui::english;
    else
        model_.english = SendMessageW(languageCombo, CB_GETCURSEL, 0, 0) == 1;
}

// The mouse at one of the window's named places: a click, a double-click, a
// right-click (its menu dismissed), a press released off the button, the wheel, or a
// drag of the window by its header band.
bool Monkey::useMouse() {
    if (!foreground()) return false;
    addressBefore_ = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    // Every control but the labels and the progress bar, and the header band.
    static const std::vector<testing_support::NamedBox> spots = [] {
        std::vector<testing_support::NamedBox> clicked;
        for (const testing_support::NamedBox& place : testing_support::places)
            if (place.id || place.box == Place::statusLabel) clicked.push_back(place);
        clicked.push_back({"dragBand", Area::dragBand, 0});
        return clicked;
    }();
    const testing_support::NamedBox& spot = spots[below(static_cast<unsigned>(spots.size()))];
    HWND main = window();
    const RECT pixels = scaledRect(spot.box);
    const int height =
        spot.box == Place::languageList || spot.box == Place::addressList ? scaled(24) : pixels.bottom - pixels.top;
    POINT point = testing_support::onScreen(main, {(pixels.left + pixels.right) / 2, pixels.top + height / 2});
    // A click meant as one must not make a double-click with the last one: 6 pixels
    // aside, out of the system's double-click square.
    if (std::abs(point.x - lastClick_.x) <= 4 && std::abs(point.y - lastClick_.y) <= 4 &&
        GetTickCount() - lastClickTime_ <= GetDoubleClickTime())
        point.x += point.x >= lastClick_.x ? 6 : -6;
    HWND hit = WindowFromPoint(point);
    // With a list dropped down, the first click only closes it.
    const bool listOpen = SendMessageW(languageCombo, CB_GETDROPPEDSTATE, 0, 0) != FALSE ||
                          SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    const bool onButton = hit && GetParent(hit) == main && isButton(hit) && IsWindowEnabled(hit);
    if (listOpen) note("(a list is open)");
    const unsigned gesture = below(100);
    const bool twice = gesture >= 45 && gesture < 60;
    POINT pressed = point;  // where the left button went down, if it did
    std::function<void()> deliver;
    if (gesture < 60 || (gesture >= 72 && gesture < 82 && !onButton)) {
        note((twice ? "double-click at " : "click at ") + std::string(spot.name));
        deliver = [point, twice] { testing_support::click(point, twice ? 2 : 1); };
    } else if (gesture < 72) {
        note("right-click at " + std::string(spot.name));
        deliver = [point] { testing_support::click(point, 1, testing_support::Button::Right); };
        pressed = {-100, -100};
    } else if (gesture < 82) {
        note("press at " + std::string(spot.name) + ", released off it");
        const POINT off = testing_support::onScreen(main, {scaled(10), scaled(300)});  // the card's margin
        deliver = [point, off] { testing_support::drag(point, off); };
    } else if (gesture < 94) {
        const int notches = static_cast<int>(below(5)) - 2;
        note("wheel " + std::to_string(notches) + " at " + std::string(spot.name));
        deliver = [point, notches] { testing_support::wheel(point, notches); };
        pressed = {-100, -100};
    } else {
        // By the band, a little, and back towards the start when it strays.
        RECT frame{};
        GetWindowRect(main, &frame);
        const int dx = frame.left > 300 ? -40 : frame.left < 40 ? 40 : static_cast<int>(below(81)) - 40;
        const int dy = frame.top > 300 ? -30 : frame.top < 20 ? 30 : static_cast<int>(below(61)) - 30;
        note("window dragged by " + std::to_string(dx) + ", " + std::to_string(dy));
        pressed = testing_support::onScreen(main, {scaled(60), scaled(60)});
        deliver = [from = pressed, dx, dy] { testing_support::drag(from, {from.x + dx, from.y + dy}); };
    }
    // A click on a button runs its command; with a list dropped down the first click
    // only closes the list, and the second of a double-click is the button's.
    const bool clicks = gesture < 60 || (gesture >= 72 && gesture < 82 && !onButton);
    if (clicks && onButton && (!listOpen || twice))
        press(GetDlgCtrlID(hit), deliver);
    else
        deliver();
    if (pressed.x != -100) {
        lastClick_ = pressed;
        lastClickTime_ = GetTickCount();
    }
    followLanguageList();
    return true;
}

}  // namespace window_monkey
