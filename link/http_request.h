#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

// One parsed request head of the small GET/HEAD subset the link server accepts.
struct HttpRequest {
    std::string method;                                   // as received, case kept
    std::string target;                                   // as received, query included
    std::unordered_map<std::string, std::string> fields;  // lower-case name -> trimmed value

    // The value under `name` (given in lower case), or "" when there is none.
    std::string header(const std::string& name) const;
};

constexpr std::size_t maximumHeadBytes = 16384;
constexpr std::size_t maximumMethodBytes = 16;
constexpr std::size_t maximumTargetBytes = 2048;
constexpr std::size_t maximumHeaderLines = 64;

// Parses one complete head, from the first byte through the blank line that ends it.
// `request` is cleared first. Returns false for anything outside the strict subset
// (bare CR or LF, folding, repeated names, a body, no Host...); `request` is then
// partly filled and must not be used. Never raises for bad input.
bool parseHttpRequest(std::string_view head, HttpRequest& request);

// The tchar set: digits, ASCII letters and !#$%&'*+-.^_`|~
bool tokenCharacter(char c);

// Without leading and trailing spaces and horizontal tabs (only those two).
std::string_view trim(std::string_view view);
