#pragma once

// Counts of what this process holds, for tests that prove nothing is left behind.

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#else
#include <filesystem>
#endif

namespace testing_support {

// Threads of this process; -1 when the system cannot tell.
inline int threadCount() {
#ifdef _WIN32
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
#else
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) count += entry.exists();
    return count;
#endif
}

// Open handles (Windows) or file descriptors (elsewhere); -1 when unknown.
inline int handleCount() {
#ifdef _WIN32
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<int>(count);
    // Wine answers 0; its handles are multiples of 4 from 4 up, so they are probed.
    int probed = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4)
        probed += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return probed;
#else
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
    return count - 1;  // the iterator's own descriptor
#endif
}

#ifdef _WIN32
// GDI objects of this process. Wine answers GetGuiResources with 0 (a stub); there
// the handle table is probed instead: a GDI handle's low word is its slot, and a
// slot in use answers GetObjectType.
inline int gdiObjectCount() {
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(reported);
    int count = 0;
    for (ULONG_PTR slot = 1; slot < 0x10000; ++slot) count += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
    return count;
}

// USER objects of this process. Where GetGuiResources is a stub: its windows (top
// level and all descendants) and its menus, probed by the low word of their handles.
inline int userObjectCount() {
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<int>(reported);
    struct Counter {
        static BOOL CALLBACK child(HWND, LPARAM count) {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        }
        static BOOL CALLBACK top(HWND window, LPARAM count) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            ++*reinterpret_cast<int*>(count);
            EnumChildWindows(window, child, count);
            return TRUE;
        }
    };
    int count = 0;
    EnumWindows(Counter::top, reinterpret_cast<LPARAM>(&count));
    for (ULONG_PTR slot = 0x20; slot < 0x10000; slot += 2) count += IsMenu(reinterpret_cast<HMENU>(slot)) ? 1 : 0;
    return count;
}

// The GDI objects, USER objects and handles of this process at one moment.
struct WindowCounts {
    int gdi = 0, user = 0, handles = 0;

    static WindowCounts now() { return {gdiObjectCount(), userObjectCount(), handleCount()}; }
    // "GDI a -> b, USER c -> d, handles e -> f", from `before` to these.
    std::string since(const WindowCounts& before) const {
        return "GDI " + std::to_string(before.gdi) + " -> " + std::to_string(gdi) + ", USER " +
               std::to_string(before.user) + " -> " + std::to_string(user) + ", handles " +
               std::to_string(before.handles) + " -> " + std::to_string(handles);
    }
};
#endif

}  // namespace testing_support
