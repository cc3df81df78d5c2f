#include "tests/server/test_client.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace testing_link {
namespace {

#ifdef _WIN32
constexpr RawSocket noSocket = INVALID_SOCKET;
void closeRaw(RawSocket s) { closesocket(s); }
#else
constexpr RawSocket noSocket = -1;
void closeRaw(RawSocket s) { ::close(s); }
#endif

using Clock = std::chrono::steady_clock;

sockaddr_in endpoint(const std::string& address, std::uint16_t port) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        throw std::invalid_argument("bad test address " + address);
    }
    return where;
}

// Waits until the socket is readable; false on time-out.
bool readable(RawSocket s, Clock::time_point until) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return false;
#ifdef _WIN32
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
        int ready = select(0, &set, nullptr, nullptr, &wait);
#else
        pollfd one{s, POLLIN, 0};
        int ready = poll(&one, 1, static_cast<int>(left));
#endif
        if (ready > 0) return true;
        if (ready < 0) return true;  // let recv report the error
    }
}

}  // namespace

void startSockets() {
#ifdef _WIN32
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
#endif
}

std::string Answer::field(const std::string& lowerName) const {
    auto found = fields.find(lowerName);
    return found == fields.end() ? std::string() : found->second;
}

Client::Client(const std::string& host, std::uint16_t port, const std::string& source, bool smallWindow) {
    startSockets();
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == noSocket) throw std::runtime_error("test socket failed");
    if (smallWindow) {
        int size = 4096;
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    }
    sockaddr_in from = endpoint(source, 0);
    sockaddr_in to = endpoint(host, port);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        closeRaw(socket_);
        socket_ = noSocket;
        throw std::runtime_error("test connect failed from " + source);
    }
}

Client::~Client() { close(); }

void Client::close() {
    if (socket_ != noSocket) closeRaw(socket_);
    socket_ = noSocket;
}

bool Client::send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        int sent = ::send(socket_, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
#else
        ssize_t sent = ::send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
#endif
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string Client::receive(std::size_t limit, std::chrono::milliseconds timeout) {
    std::string got;
    auto until = Clock::now() + timeout;
    char buffer[65536];
    while (got.size() < limit && readable(socket_, until)) {
        std::size_t want = std::min(sizeof buffer, limit - got.size());
        int n = static_cast<int>(::recv(socket_, buffer, static_cast<int>(want), 0));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

std::string Client::receiveAll(std::chrono::milliseconds timeout, bool* closed) {
    std::string got;
    auto until = Clock::now() + timeout;
    char buffer[65536];
    if (closed) *closed = false;
    while (readable(socket_, until)) {
        int n = static_cast<int>(::recv(socket_, buffer, sizeof buffer, 0));
        if (n <= 0) {
            if (closed) *closed = true;
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
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

PortHolder::PortHolder(const std::string& address, std::uint16_t port) {
    startSockets();
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = endpoint(address, port);
    // Two listeners on one port are still refused with this set (the server's exclusive
    // use on Windows, the rule itself on Linux); it only lets the holder take a port that
    // an earlier test left in TIME_WAIT.
    int one = 1;
    if (socket_ != noSocket) {
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    }
    if (socket_ != noSocket &&
        (::bind(socket_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(socket_, 1) != 0)) {
        closeRaw(socket_);
        socket_ = noSocket;
    }
}

PortHolder::~PortHolder() {
    if (socket_ != noSocket) closeRaw(socket_);
}

bool PortHolder::held() const { return socket_ != noSocket; }

}  // namespace testing_link
