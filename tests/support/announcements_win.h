#pragma once

// What a screen reader hears from this process: each live-region announcement with
// the name its object has when the event comes, gathered by an out-of-context
// WinEvent hook as screen readers set one. The events come through this thread's
// messages: take() handles the ones already queued.

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct Announcement {
    HWND control;
    std::wstring name;
};

class Announcements {
public:
    // The objects are read through COM, as by a screen reader.
    Announcements() : com_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        listener() = this;
        hook_ = SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, heard,
                                GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~Announcements() {
        if (hook_) UnhookWinEvent(hook_);
        listener() = nullptr;
        if (com_) CoUninitialize();
    }
    Announcements(const Announcements&) = delete;
    Announcements& operator=(const Announcements&) = delete;

    bool listening() const { return com_ && hook_; }

    // The announcements since the last call; with `control`, only that control's names.
    // Inside a modal loop, which handles the events itself, `pump` false.
    std::vector<Announcement> take(bool pump = true) {
        MSG message;
        for (int handled = 0; pump && handled < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++handled)
            DispatchMessageW(&message);
        return std::exchange(heard_, {});
    }
    std::vector<std::wstring> take(HWND control, bool pump = true) {
        std::vector<std::wstring> names;
        for (const Announcement& announcement : take(pump))
            if (announcement.control == control) names.push_back(announcement.name);
        return names;
    }

private:
    static Announcements*& listener() {
        static Announcements* current = nullptr;
        return current;
    }
    static void CALLBACK heard(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG childId, DWORD, DWORD) {
        IAccessible* object = nullptr;
        VARIANT child{};
        if (!listener() || FAILED(AccessibleObjectFromEvent(window, static_cast<DWORD>(objectId),
                                                            static_cast<DWORD>(childId), &object, &child)))
            return;
        BSTR name = nullptr;
        if (object->get_accName(child, &name) == S_OK && name) {
            listener()->heard_.push_back({window, name});
            SysFreeString(name);
        }
        object->Release();
    }

    bool com_;
    HWINEVENTHOOK hook_ = nullptr;
    std::vector<Announcement> heard_;
};

}  // namespace testing_support
