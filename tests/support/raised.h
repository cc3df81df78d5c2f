#pragma once

#include <stdexcept>
#include <string>

// Runs `call` and returns the message of the exception E it raised, or "" when it
// raised none (an exception of another type goes on to the test).
template <class E = std::runtime_error, class F>
std::string errorOf(F&& call) {
    try {
        call();
    } catch (const E& error) {
        return error.what();
    }
    return "";
}
