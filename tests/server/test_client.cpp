#include "tests/server/test_client.h"

#include <cctype>
#include <cstdlib>
#include <limits>

#include "tests/support/loopback.h"

namespace testing_link {

void startSockets() { testing_support::startSocketsOnce(); }

std::string Answer::field(const std::string& lowerName) const {
    auto found = fields.find(lowerName);
    return found == fields.end() ? std::string() : found->second;
}

Client::Client(const std::string& host, std::uint16_t port, const std::string& source, bool smallWindow)
    : socket_(testing_support::connectFrom(source, host, port, smallWindow)) {}

Client::~Client() = default;

void Client::close() { socket_.reset(); }

bool Client::send(const std::string& bytes) { return testing_support::sendAll(socket_.get(), bytes); }

std::string Client::receive(std::size_t limit, std::chrono::milliseconds timeout) {
    return testing_support::receiveFor(socket_.get(), limit, timeout);
}

std::string Client::receiveAll(std::chrono::milliseconds timeout, bool* closed) {
    return testing_support::receiveFor(socket_.get(), std::numeric_limits<std::size_t>::max(), timeout, closed);
}

bool Client::closedWithoutAnswer(std::chrono::milliseconds timeout) {
    bool closed = false;
    std::string got = receiveAll(timeout, &closed);
    return closed && got.empty();
}

Answer parseAnswer(const std::string& raw) {
    Answer answer;
    auto end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return answer;
    answer.head = raw.substr(0, end + 4);
    answer.body = raw.substr(end + 4);
    answer.complete = true;
    if (answer.head.compare(0, 9, "HTTP/1.1 ") == 0) answer.status = std::atoi(answer.head.c_str() + 9);
    std::size_t line = answer.head.find("\r\n") + 2;
    while (line < end) {
        std::size_t next = answer.head.find("\r\n", line);
        std::string text = answer.head.substr(line, next - line);
        auto colon = text.find(':');
        if (colon != std::string::npos) {
            std::string name = text.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::size_t value = colon + 1;
            while (value < text.size() && text[value] == ' ') ++value;
            answer.fields[name] = text.substr(value);
        }
        line = next + 2;
    }
    return answer;
}

Answer exchange(const std::string& host, std::uint16_t port, const std::string& request, const std::string& source) {
    Client client(host, port, source);
    client.send(request);
    bool closed = false;
    std::string raw = client.receiveAll(std::chrono::seconds(10), &closed);
    Answer answer = parseAnswer(raw);
    answer.complete = answer.complete && closed;
    return answer;
}

std::string request(const std::string& method, const std::string& target, const std::string& host,
                    const std::string& extra) {
    return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + extra + "\r\n";
}

// Two listeners on one port are still refused with address reuse (the server's
// exclusive use on Windows, the rule itself on Linux); it only lets the holder take
// a port that an earlier test left in TIME_WAIT.
PortHolder::PortHolder(const std::string& address, std::uint16_t port)
    : socket_(testing_support::listenOn(address, port, 1, true)) {}

PortHolder::~PortHolder() = default;

bool PortHolder::held() const { return socket_.valid(); }

}  // namespace testing_link
