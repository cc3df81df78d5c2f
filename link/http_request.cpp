#include "link/http_request.h"

namespace {

constexpr std::string_view lineEnd = "\r\n";

bool visibleTargetByte(unsigned char c) { return c >= 0x21 && c <= 0x7E && c != '#' && c != '\\'; }

// Field values: horizontal tab or 0x20 and above, except DEL. This refuses a bare
// CR or LF inside a line, which could otherwise smuggle a second header.
bool valueByte(unsigned char c) { return c == '\t' || (c >= 0x20 && c != 0x7F); }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string HttpRequest::header(const std::string& name) const {
    const auto found = fields.find(name);
    return found == fields.end() ? std::string() : found->second;
}

bool tokenCharacter(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string_view trim(std::string_view view) {
    const std::size_t first = view.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = view.find_last_not_of(" \t");
    return view.substr(first, last - first + 1);
}

bool parseHttpRequest(std::string_view head, HttpRequest& request) {
    request.method.clear();
    request.target.clear();
    request.fields.clear();

    if (head.size() < 4 || head.size() > maximumHeadBytes) return false;
    if (head.substr(head.size() - 4) != "\r\n\r\n") return false;

    const std::size_t requestLineEnd = head.find(lineEnd);
    if (requestLineEnd + 4 >= head.size()) return false;  // the head's own end: no header lines
    const std::string_view line = head.substr(0, requestLineEnd);

    const std::size_t methodEnd = line.find(' ');
    if (methodEnd == std::string_view::npos || methodEnd == 0 || methodEnd > maximumMethodBytes) return false;
    const std::string_view method = line.substr(0, methodEnd);

    const std::size_t targetEnd = line.find(' ', methodEnd + 1);
    if (targetEnd == std::string_view::npos) return false;
    const std::string_view target = line.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    if (target.empty() || target.size() > maximumTargetBytes) return false;

    const std::string_view version = line.substr(targetEnd + 1);
    if (version.find(' ') != std::string_view::npos) return false;
    for (char c : method)
        if (!tokenCharacter(c)) return false;
    if (target.front() != '/') return false;
    if (version.size() != 8 || (version != "HTTP/1.0" && version != "HTTP/1.1")) return false;
    for (char c : target)
        if (!visibleTargetByte(static_cast<unsigned char>(c))) return false;

    request.method.assign(method);
    request.target.assign(target);

    std::size_t position = requestLineEnd + lineEnd.size();
    std::size_t lines = 0;
    while (head.size() - position >= 3) {
        if (++lines > maximumHeaderLines) return false;
        const std::size_t end = head.find(lineEnd, position);  // always found: the head ends in CR LF CR LF
        const std::string_view field = head.substr(position, end - position);
        if (field.empty()) return false;  // a blank line before the end
        const std::size_t colon = field.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        if (field.front() == ' ' || field.front() == '\t') return false;  // folded continuation
        std::string name(field.substr(0, colon));
        for (char& c : name) {
            if (!tokenCharacter(c)) return false;
            c = lower(c);
        }
        const std::string_view value = trim(field.substr(colon + 1));
        for (char c : value)
            if (!valueByte(static_cast<unsigned char>(c))) return false;
        if (!request.fields.emplace(std::move(name), std::string(value)).second) return false;  // repeated name
        position = end + lineEnd.size();
    }
    if (head.substr(position) != lineEnd) return false;

    if (request.header("host").empty()) return false;
    if (request.fields.count("transfer-encoding") || request.fields.count("expect")) return false;
    const auto length = request.fields.find("content-length");
    return length == request.fields.end() || length->second == "0";
}
