#include "remote/actions.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "base/random_token.h"
#include "base/text.h"
#include "platform/system.h"
#include "remote/like_vote.h"
#include "remote/remote.h"

namespace remote {
namespace {

constexpr wchar_t Unexpected[] = L"Opération Internet indisponible. Réessayez.";
// A fresh 64-bit key is taken or zero only by accident; a failing generator is not
// retried forever.
constexpr int KeyDraws = 8;

void runService(Result& result) {
    if (result.action == Action::Update) {
        result.version = getLatestVersion();
    } else {
        recordLike();
        result.message = LikeThanks;
    }
    result.ok = true;
}

bool& busyFlag(Actions::State& state, Action action) {
    return action == Action::Like ? state.likeBusy : state.updateBusy;
}

// The thread's whole life: nothing may escape it.
void runAction(const std::shared_ptr<Actions::State>& state, const Actions::Runner& run, Action action) noexcept {
    Result result{action, false, {}, {}};
    try {
        run(result);
    } catch (const std::exception& error) {
        result.ok = false;
        result.message = messageText(error, Unexpected);
    } catch (...) {
        result.ok = false;
        result.message = Unexpected;
    }

    std::lock_guard<std::mutex> lock(state->mutex);
    busyFlag(*state, action) = false;
    if (state->closed) return;
    try {
        // At most one outcome of each kind waits for the window.
        for (auto it = state->results.begin(); it != state->results.end();) {
            it = it->second.action == action ? state->results.erase(it) : std::next(it);
        }
        std::uint64_t key = 0;
        const auto systemDraw = [](std::uint64_t& value) {
            return platform::systemRandom(reinterpret_cast<unsigned char*>(&value), sizeof value);
        };
        if (!drawFreshKey(state->results, systemDraw, KeyDraws, key)) return;
        state->results.emplace(key, std::move(result));
        // Posted under the lock, so close cannot slip in between the check and the post.
        if (!PostMessageW(state->window, ActionFinished, static_cast<WPARAM>(key), 0)) state->results.erase(key);
    } catch (...) {
        // Out of memory: the outcome is dropped.
    }
}

}  // namespace

Actions::Actions(HWND window) : Actions(window, runService) {}

Actions::Actions(HWND window, Runner run) : state_(std::make_shared<State>()), run_(std::move(run)) {
    state_->window = window;
}

Actions::~Actions() { close(); }

bool Actions::start(Action action) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        bool& busy = busyFlag(*state_, action);
        if (state_->closed || busy) return false;
        busy = true;
    }
    try {
        std::thread(runAction, state_, run_, action).detach();
    } catch (...) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        busyFlag(*state_, action) = false;
        throw;
    }
    return true;
}

bool Actions::pending(Action action) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (busyFlag(*state_, action)) return true;
    for (const auto& waiting : state_->results)
        if (waiting.second.action == action) return true;
    return false;
}

std::optional<Result> Actions::take(std::uint64_t id) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->results.find(id);
    if (it == state_->results.end()) return std::nullopt;
    Result result = std::move(it->second);
    state_->results.erase(it);
    return result;
}

void Actions::close() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->closed = true;
    state_->window = nullptr;
    state_->results.clear();
}

}  // namespace remote
