// Test probe: prints the controls of the application's windows as
// "<id>\t<class>\t<visible><enabled>\t<text>", one line each, in UTF-8, so that a
// script can check captions, the status line and message boxes from outside.
//   window_probe main      controls of the main window
//   window_probe box       the open message box: its caption, then its texts
//   window_probe qr        the enlarged QR window's title, if it is open
//   window_probe memory    working set and private bytes of the application
//   window_probe clipboard the Unicode text on the clipboard
//   window_probe focus     titles of the application's active window and of the
//                          window that holds its keyboard focus
//   window_probe layout    the window's named places and areas, in base units, as
//                          "<name>\t<left>\t<top>\t<right>\t<bottom>"
//   window_probe addresses every entry of the address list in its order, as
//                          "<index>\t<selected: * or ->\t<label>"
//   window_probe names     what a screen reader reads of each visible control, as
//                          "<id>\t<role>\t<states>\t<name>", asked of its object
//                          (AccessibleObjectFromWindow) as a screen reader asks
//   window_probe listen S  for S seconds or until the window closes, each announcement
//                          of the application ("live\t<id>\t<name>") and each state
//                          change of a mode button ("state\t<id>\t<states>")

#include <windows.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/ui/control_ids.h"
#include "tests/support/places.h"

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring textOf(HWND window) {
    wchar_t buffer[4096] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

std::wstring classOf(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

// Escapes line breaks so each control stays on one line.
std::string oneLine(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
    const std::wstring cls = classOf(child);
    std::wstring text = textOf(child);
    if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
        const LRESULT index = SendMessageW(child, CB_GETCURSEL, 0, 0);
        wchar_t item[512] = {};
        if (index >= 0) SendMessageW(child, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item));
        text = item;
    }
    std::printf("%d\t%s\t%c%c\t%s\n", GetDlgCtrlID(child), utf8(cls).c_str(), IsWindowVisible(child) ? 'V' : 'h',
                IsWindowEnabled(child) ? 'E' : 'd', oneLine(text).c_str());
    return TRUE;
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (classOf(window) == L"#32770" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The object's states a screen reader says for our controls: checked and unavailable.
std::string statesOf(IAccessible& object, const VARIANT& self) {
    VARIANT state{};
    if (object.get_accState(self, &state) != S_OK || state.vt != VT_I4) return "?";
    std::string states;
    if (state.lVal & STATE_SYSTEM_CHECKED) states += "checked,";
    if (state.lVal & STATE_SYSTEM_UNAVAILABLE) states += "unavailable,";
    if (states.empty()) return "-";
    states.pop_back();
    return states;
}

std::string roleOf(IAccessible& object, const VARIANT& self) {
    VARIANT role{};
    if (object.get_accRole(self, &role) != S_OK || role.vt != VT_I4) return "?";
    wchar_t text[128] = {};
    GetRoleTextW(static_cast<DWORD>(role.lVal), text, 128);
    return utf8(text);
}

std::string nameOf(IAccessible& object, const VARIANT& self) {
    BSTR name = nullptr;
    if (object.get_accName(self, &name) != S_OK || !name) return "";
    std::string text = oneLine(name);
    SysFreeString(name);
    return text;
}

VARIANT selfChild() {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

BOOL CALLBACK printObject(HWND child, LPARAM) {
    if (!IsWindowVisible(child)) return TRUE;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(child, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        std::printf("%d\tnone\n", GetDlgCtrlID(child));
        return TRUE;
    }
    const VARIANT self = selfChild();
    std::printf("%d\t%s\t%s\t%s\n", GetDlgCtrlID(child), roleOf(*object, self).c_str(), statesOf(*object, self).c_str(),
                nameOf(*object, self).c_str());
    object->Release();
    return TRUE;
}

void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG childId, DWORD, DWORD) {
    IAccessible* object = nullptr;
    VARIANT child{};
    if (FAILED(AccessibleObjectFromEvent(window, static_cast<DWORD>(objectId), static_cast<DWORD>(childId), &object,
                                         &child)))
        return;
    if (event == EVENT_OBJECT_LIVEREGIONCHANGED)
        std::printf("live\t%d\t%s\n", GetDlgCtrlID(window), nameOf(*object, child).c_str());
    else if (classOf(window) == L"Button")
        std::printf("state\t%d\t%s\n", GetDlgCtrlID(window), statesOf(*object, child).c_str());
    std::fflush(stdout);
    object->Release();
}

// Out of context, as screen readers listen: the events come through this thread's
// message queue, for `seconds` at most.
int listen(HWND main, int seconds) {
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, onEvent,
                                         process, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook) return 2;
    std::printf("listening\n");
    std::fflush(stdout);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    // Ends with the window too: a listener left behind would keep the Wine prefix's
    // server up for whoever waits for it.
    for (ULONGLONG now = GetTickCount64(); now < end && IsWindow(main); now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(static_cast<DWORD>(end - now), 500), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    UnhookWinEvent(hook);
    return 0;
}

// What the scripts click, crop and sample, by the names the window uses.
void printLayout() {
    const auto print = [](const testing_support::NamedBox& entry) {
        std::printf("%s\t%d\t%d\t%d\t%d\n", entry.name, entry.box.left, entry.box.top, entry.box.right,
                    entry.box.bottom);
    };
    for (const auto& entry : testing_support::places) print(entry);
    for (const auto& entry : testing_support::areas) print(entry);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc > 1 ? argv[1] : L"main";
    if (what == L"main") {
        HWND main = FindWindowW(L"TolvenaireAndroidWindow", nullptr);
        if (!main) return 2;
        RECT box{};
        GetWindowRect(main, &box);
        std::printf("title\t%s\nrect\t%ld,%ld,%ld,%ld\n", utf8(textOf(main)).c_str(), box.left, box.top, box.right,
                    box.bottom);
        // The keyboard focus of the window's thread, by command id (0: no control of it).
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread);
        std::printf("focus\t%d\n",
                    thread.hwndFocus && GetParent(thread.hwndFocus) == main ? GetDlgCtrlID(thread.hwndFocus) : 0);
        EnumChildWindows(main, printChild, 0);
        return 0;
    }
    if (what == L"box") {
        Search search;
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) return 2;
        std::printf("caption\t%s\n", utf8(textOf(search.found)).c_str());
        EnumChildWindows(search.found, printChild, 0);
        return 0;
    }
    if (what == L"qr") {
        HWND qr = FindWindowW(L"TolvenaireQrWindow", nullptr);
        if (!qr) return 2;
        std::printf("title\t%s\n", utf8(textOf(qr)).c_str());
        return 0;
    }
    if (what == L"focus") {
        HWND main = FindWindowW(L"TolvenaireAndroidWindow", nullptr);
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!main || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread)) return 2;
        const auto titleOf = [](HWND window) { return window ? utf8(textOf(GetAncestor(window, GA_ROOT))) : ""; };
        std::printf("active\t%s\nfocus\t%s\n", titleOf(thread.hwndActive).c_str(), titleOf(thread.hwndFocus).c_str());
        return 0;
    }
    if (what == L"clipboard") {
        if (!OpenClipboard(nullptr)) return 2;
        std::wstring text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = locked;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        std::printf("clipboard\t%s\n", utf8(text).c_str());
        return 0;
    }
    if (what == L"addresses") {
        HWND main = FindWindowW(L"TolvenaireAndroidWindow", nullptr);
        HWND list = main ? GetDlgItem(main, ControlId::addressList) : nullptr;
        if (!list) return 2;
        const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
        const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            wchar_t item[512] = {};
            if (SendMessageW(list, CB_GETLBTEXTLEN, index, 0) >= 512) return 2;
            SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item));
            std::printf("%ld\t%c\t%s\n", static_cast<long>(index), index == selected ? '*' : '-', utf8(item).c_str());
        }
        return 0;
    }
    if (what == L"names" || what == L"listen") {
        HWND main = FindWindowW(L"TolvenaireAndroidWindow", nullptr);
        if (!main || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
        if (what == L"listen") return listen(main, argc > 2 ? _wtoi(argv[2]) : 10);
        EnumChildWindows(main, printObject, 0);
        return 0;
    }
    if (what == L"layout") {
        printLayout();
        return 0;
    }
    if (what == L"memory") {
        HWND main = FindWindowW(L"TolvenaireAndroidWindow", nullptr);
        DWORD process = 0;
        if (!main || !GetWindowThreadProcessId(main, &process)) return 2;
        HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
        if (!handle) return 2;
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        const BOOL ok =
            GetProcessMemoryInfo(handle, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
        CloseHandle(handle);
        if (!ok) return 2;
        std::printf("workingSet\t%llu\nprivate\t%llu\npagefile\t%llu\n",
                    static_cast<unsigned long long>(counters.WorkingSetSize),
                    static_cast<unsigned long long>(counters.PrivateUsage),
                    static_cast<unsigned long long>(counters.PagefileUsage));
        return 0;
    }
    return 3;
}
