#pragma once

#include "link/http_request.h"

#include <string_view>

// What every accepted request must satisfy, whatever the bytes were. Shared by the
// fuzzer and by the test that replays its corpus. Returns "" or the broken property.
inline const char* acceptedRequestFault(std::string_view head, const HttpRequest& request) {
    if (head.size() < 4 || head.size() > maximumHeadBytes) return "head length outside 4..16384";
    if (head.substr(head.size() - 4) != "\r\n\r\n") return "head not ended by a blank line";
    if (request.method.empty() || request.method.size() > maximumMethodBytes) return "method length";
    for (char c : request.method)
        if (!tokenCharacter(c)) return "method byte";
    if (request.target.empty() || request.target.size() > maximumTargetBytes) return "target length";
    if (request.target.front() != '/') return "target does not start with /";
    for (char c : request.target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || c == '#' || c == '\\') return "target byte";
    }
    if (head.compare(0, request.method.size() + 1, request.method + " ") != 0) return "method not taken from the head";
    if (request.fields.size() > maximumHeaderLines) return "too many fields";
    if (request.header("host").empty()) return "no host";
    if (request.fields.count("transfer-encoding") || request.fields.count("expect")) return "body framing accepted";
    if (request.fields.count("content-length") && request.header("content-length") != "0") return "content length";
    for (const auto& [name, value] : request.fields) {
        if (name.empty()) return "empty field name";
        for (char c : name)
            if (!tokenCharacter(c) || (c >= 'A' && c <= 'Z')) return "field name byte";
        if (trim(value) != value) return "value not trimmed";
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 && c != '\t') || byte == 0x7F) return "value byte";
        }
    }
    return "";
}
