#pragma once

// Plays the user's part while a modal dialog or message box runs on this thread:
// a thread timer inside the modal loop finds the dialog and runs one step per
// tick, so the dialog is read and driven without any race. Bounded: after
// maxTicks the open dialog is ended and timedOut() reports it.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/pairing_dialog_ids.h"
#include "tests/support/open_dialog_win.h"

namespace {

constexpr int maxTicks = 1000;  // 10 s of 10 ms ticks for one dialog

// A step returns true when done; false to be tried again on the next tick.
using Step = std::function<bool(HWND dialog)>;

class UserScript {
public:
    explicit UserScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 10, &UserScript::tick);
    }
    ~UserScript() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    bool finished() const { return next_ == steps_.size(); }
    bool timedOut() const { return timedOut_; }
    int dialogsSeen() const { return dialogsSeen_; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        UserScript* self = active_;
        if (!self) return;
        HWND dialog = testing_support::openDialog();
        if (dialog && dialog != self->lastDialog_) {
            self->lastDialog_ = dialog;
            ++self->dialogsSeen_;
        }
        if (++self->ticks_ > maxTicks) {
            self->timedOut_ = true;
            if (dialog) EndDialog(dialog, 2);
            return;
        }
        if (!dialog || self->finished()) return;
        if (self->steps_[self->next_](dialog)) ++self->next_;
    }

    static inline UserScript* active_ = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int ticks_ = 0;
    bool timedOut_ = false;
    int dialogsSeen_ = 0;
    HWND lastDialog_ = nullptr;
    UINT_PTR timer_ = 0;
};

inline std::wstring textOf(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

inline std::wstring captionOf(HWND dialog) {
    wchar_t text[256] = {};
    GetWindowTextW(dialog, text, 256);
    return text;
}

// The texts of controls `ids`, in that order, then the dialog's caption.
inline std::vector<std::wstring> textsOf(HWND dialog, std::initializer_list<int> ids) {
    std::vector<std::wstring> texts;
    for (int id : ids) texts.push_back(textOf(dialog, id));
    texts.push_back(captionOf(dialog));
    return texts;
}

// Answers the message boxes the code under test opens, keeping their texts and,
// when given `behind`, what it reads while each box is up.
class BoxWatcher {
public:
    explicit BoxWatcher(const std::function<std::wstring()>& behind = nullptr)
        : script_({[this, behind](HWND box) {
              texts.push_back(textOf(box, 0xFFFF));
              captions.push_back(captionOf(box));
              if (behind) seenBehind.push_back(behind());
              SendMessageW(box, WM_COMMAND, IDOK, 0);
              return false;  // keep watching for further boxes
          }}) {}
    std::vector<std::wstring> texts, captions, seenBehind;

private:
    UserScript script_;
};

inline bool confirmEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDC_PAIRING_CONFIRM)) != FALSE; }

inline void click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Escape goes through the dialog's own keyboard handling.
inline void pressEscape(HWND dialog) {
    HWND focus = GetFocus();
    HWND target = focus && IsChild(dialog, focus) ? focus : GetDlgItem(dialog, IDC_PAIRING_REFUSE);
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
}

}  // namespace
