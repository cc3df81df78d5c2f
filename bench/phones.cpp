// Plays N phones against the link server, each from its own loopback address as
// phones on a Wi-Fi each have their own: it opens the page (page, then style and
// script side by side, then the state), downloads the shared file at a phone's pace
// and, like the page, polls the state every 2 s with its ETag until the download
// ends. All phones tap the download together, as a class does when the teacher says so.
// Prints, for the run: pages refused, downloads whole, polls lost, the slowest and
// the 99th-percentile answered poll.
//
//   phones <link> --phones N --rate BYTES_PER_SECOND [--first-address K]
//
// A poll is lost when it gets no 200 or 304 within 7 s (the page's own time-out);
// a page is refused when any of its four requests gets no 200.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/link_target.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int pollTimeoutMs = 7000;     // the page's fetch time-out
constexpr int pollEveryMs = 2000;       // the page's poll period
constexpr int downloadHeadMs = 180000;  // a download waiting its turn
constexpr int downloadStallMs = 30000;  // no byte for this long: the download failed
constexpr int smallWindow = 32768;      // keeps the server's sends paced by the reader

std::string request(const Target& target, const std::string& path, const std::string& etag = std::string()) {
    std::string text = "GET " + target.base + path + " HTTP/1.1\r\nHost: " + target.host + "\r\n";
    if (!etag.empty()) text += "If-None-Match: " + etag + "\r\n";
    return text + "\r\n";
}

bool sendAll(int s, const std::string& bytes) {
    return ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Reads until the server closes, for at most `timeoutMs` in all; the status, 0 for none.
int readAnswer(int s, int timeoutMs, std::string& reply) {
    reply.clear();
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd one{s, POLLIN, 0};
        if (left <= 0 || ::poll(&one, 1, static_cast<int>(left)) <= 0) return 0;
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n < 0) return 0;
        if (n == 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    if (reply.compare(0, 9, "HTTP/1.1 ") != 0 || reply.find("\r\n\r\n") == std::string::npos) return 0;
    return std::atoi(reply.c_str() + 9);
}

int get(const Target& target, const std::string& source, const std::string& path, int timeoutMs, std::string& reply,
        const std::string& etag = std::string()) {
    const int s = connectFrom(target, source);
    if (s < 0) return 0;
    const int status = sendAll(s, request(target, path, etag)) ? readAnswer(s, timeoutMs, reply) : 0;
    ::close(s);
    return status;
}

std::string fieldOf(const std::string& reply, const std::string& name) {
    auto at = reply.find("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return reply.substr(at, reply.find("\r\n", at) - at);
}

// The page, then style and script on two connections at once, then the state.
bool openPage(const Target& target, const std::string& source, std::string& etag) {
    std::string reply;
    if (get(target, source, "", 10000, reply) != 200) return false;
    const int style = connectFrom(target, source);
    const int script = connectFrom(target, source);
    bool ok = style >= 0 && script >= 0 && sendAll(style, request(target, "style.css")) &&
              sendAll(script, request(target, "app.js")) && readAnswer(style, 10000, reply) == 200 &&
              readAnswer(script, 10000, reply) == 200;
    if (style >= 0) ::close(style);
    if (script >= 0) ::close(script);
    ok = ok && get(target, source, "state", 10000, reply) == 200;
    etag = fieldOf(reply, "ETag");
    return ok;
}

// The file at `rate` bytes per second; true when the whole body came with a 200.
bool download(const Target& target, const std::string& source, const std::string& id, std::uint64_t size, double rate) {
    const int s = connectFrom(target, source, smallWindow);
    if (s < 0) return false;
    bool whole = false;
    if (sendAll(s, request(target, "file/" + id))) {
        std::string head;
        std::uint64_t body = 0;
        std::vector<char> buffer(16384);
        Clock::time_point started{};
        int waitMs = downloadHeadMs;
        for (;;) {
            pollfd one{s, POLLIN, 0};
            if (::poll(&one, 1, waitMs) <= 0) break;
            const ssize_t n = ::recv(s, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            if (started == Clock::time_point{}) {
                started = Clock::now();
                waitMs = downloadStallMs;
            }
            std::size_t at = 0;
            if (head.find("\r\n\r\n") == std::string::npos) {
                const std::size_t before = head.size();
                head.append(buffer.data(), static_cast<std::size_t>(n));
                const auto end = head.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                at = end + 4 - before;
                if (head.compare(0, 12, "HTTP/1.1 200") != 0) break;
            }
            body += static_cast<std::uint64_t>(n) - at;
            // A phone's pace: never ahead of `rate` since the first byte.
            const auto due = started + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(static_cast<double>(body) / rate));
            if (due > Clock::now()) std::this_thread::sleep_until(due);
        }
        whole = body == size && head.compare(0, 12, "HTTP/1.1 200") == 0;
    }
    ::close(s);
    return whole;
}

struct Results {
    std::mutex mutex;
    std::vector<double> polls;  // ms, answered ones
    int pagesRefused = 0, downloadsWhole = 0, pollsLost = 0;
};

void phone(const Target& target, const std::string& source, const std::string& id, std::uint64_t size, double rate,
           Clock::time_point tap, Results& results) {
    std::string etag;
    const bool page = openPage(target, source, etag);
    std::this_thread::sleep_until(tap);
    std::atomic<bool> downloading{true};
    std::vector<double> mine;
    int lost = 0;
    std::thread polling([&] {
        auto next = Clock::now() + std::chrono::milliseconds(pollEveryMs);
        while (downloading.load()) {
            std::this_thread::sleep_until(next);
            if (!downloading.load()) break;
            next += std::chrono::milliseconds(pollEveryMs);
            std::string reply;
            const auto start = Clock::now();
            const int status = get(target, source, "state", pollTimeoutMs, reply, etag);
            if (status == 200 || status == 304) {
                mine.push_back(Millis(Clock::now() - start).count());
                if (status == 200) etag = fieldOf(reply, "ETag");
            } else {
                ++lost;
            }
        }
    });
    const bool whole = download(target, source, id, size, rate);
    downloading = false;
    polling.join();
    std::lock_guard<std::mutex> lock(results.mutex);
    if (!page) ++results.pagesRefused;
    if (whole) ++results.downloadsWhole;
    results.pollsLost += lost;
    results.polls.insert(results.polls.end(), mine.begin(), mine.end());
}

}  // namespace

int main(int argc, char** argv) {
    Target target;
    if (argc < 2 || !parseLink(argv[1], target)) {
        std::fprintf(stderr, "usage: phones <link> --phones N --rate BYTES_PER_SECOND [--first-address K]\n");
        return 2;
    }
    int phones = 1, first = 10;
    double rate = 2e6;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--phones") phones = std::atoi(argv[i + 1]);
        if (name == "--rate") rate = std::atof(argv[i + 1]);
        if (name == "--first-address") first = std::atoi(argv[i + 1]);
    }
    if (phones < 1 || first + phones > 255 || rate <= 0) return 2;

    std::string state;
    if (get(target, "127.0.0.2", "state", 10000, state) != 200) {
        std::fprintf(stderr, "phones: the state is not served at %s\n", argv[1]);
        return 1;
    }
    const auto idAt = state.find("\"id\":\"");
    const auto sizeAt = state.find("\"size\":");
    if (idAt == std::string::npos || sizeAt == std::string::npos) {
        std::fprintf(stderr, "phones: no file is shared\n");
        return 1;
    }
    const std::string id = state.substr(idAt + 6, 32);
    const std::uint64_t size = std::strtoull(state.c_str() + sizeAt + 7, nullptr, 10);

    Results results;
    const auto begin = Clock::now();
    // Every page is open by then, unless the server is far behind.
    const auto tap = begin + std::chrono::seconds(3);
    std::vector<std::thread> threads;
    for (int i = 0; i < phones; ++i) {
        const std::string source = "127.0.0." + std::to_string(first + i);
        threads.emplace_back([&, source] { phone(target, source, id, size, rate, tap, results); });
    }
    for (auto& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    std::sort(results.polls.begin(), results.polls.end());
    const auto count = results.polls.size();
    const double slowest = count ? results.polls.back() : 0.0;
    const double p99 = count ? results.polls[std::min(count - 1, count * 99 / 100)] : 0.0;
    std::printf(
        "phones %d: pages refused %d, downloads whole %d/%d, polls lost %d of %zu, "
        "slowest poll %.0f ms, p99 %.0f ms, %.0f s\n",
        phones, results.pagesRefused, results.downloadsWhole, phones, results.pollsLost,
        count + static_cast<std::size_t>(results.pollsLost), slowest, p99, elapsed);
    return 0;
}
