#pragma once

// Waiting for what another thread brings about: the condition is checked every few
// milliseconds until it holds or the deadline passes, never longer.

#include <chrono>
#include <thread>

// True as soon as `holds()` is; false when it still is not after `deadline`.
template <class Predicate>
bool eventually(Predicate&& holds, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= end) return holds();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
