#pragma once

// Windows build only: the outcomes reach the window as posted messages.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace remote {

enum class Action { Like = 0, Update = 1 };

struct Result {
    Action action;
    bool ok;
    std::string version;   // the published version (update check only), UTF-8
    std::wstring message;  // the French diagnostic on failure, the thanks after a like
};

// Posted to the window with the outcome's key as wParam and 0 as lParam.
inline constexpr UINT ActionFinished = WM_APP + 41;

// Runs the update check and the like vote each on a detached thread of its own, at
// most one of each kind at a time, and hands every outcome back by key. Used from
// the interface thread only; the threads share nothing with it but State.
class Actions {
public:
    // Runs one action: fills in ok, version and message, or raises.
    using Runner = std::function<void(Result&)>;

    // Notifies `window`; runs the real update check and like vote.
    explicit Actions(HWND window);
    // Notifies `window`; runs `run` instead (tests).
    Actions(HWND window, Runner run);
    ~Actions();  // closes
    Actions(const Actions&) = delete;
    Actions& operator=(const Actions&) = delete;

    // Starts `action` unless closed or an action of that kind is still running.
    bool start(Action action);
    // True from the start of `action` until its outcome is taken or dropped.
    bool pending(Action action) const;
    // Removes and returns the outcome posted under `id`, if it is still there.
    std::optional<Result> take(std::uint64_t id);
    // For good: refuses further starts, drops waiting and late outcomes, posts nothing more.
    void close();

    struct State {
        std::mutex mutex;
        bool closed = false;
        bool likeBusy = false;
        bool updateBusy = false;
        HWND window = nullptr;
        std::unordered_map<std::uint64_t, Result> results;  // posted, not yet taken
    };

private:
    std::shared_ptr<State> state_;
    Runner run_;
};

}  // namespace remote
