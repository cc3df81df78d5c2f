// Load generator for the link server's state route: clients from several source
// addresses in 127.0.0.0/8, each keeping a few connections busy, poll the state with
// the current ETag (so the server answers 304) over one connection per request.
// Prints requests per second and the p50 and p99 latency.
//
//   statepoll <link> [--addresses N] [--per-address N] [--seconds S]

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
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/link_target.h"

namespace {

using Clock = std::chrono::steady_clock;

// One exchange; returns the status (0 on failure) and fills `reply`.
int exchange(const Target& target, const std::string& source, const std::string& request, std::string& reply) {
    reply.clear();
    const int s = connectFrom(target, source);
    if (s < 0) return -1;
    if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        ::close(s);
        return 0;
    }
    char buffer[4096];
    for (;;) {
        pollfd one{s, POLLIN, 0};
        if (poll(&one, 1, 10000) <= 0) break;
        ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(s);
    if (reply.compare(0, 9, "HTTP/1.1 ") != 0) return 0;
    return std::atoi(reply.c_str() + 9);
}

std::string stateRequest(const Target& target, const std::string& etag) {
    std::string request = "GET " + target.base + "state HTTP/1.1\r\nHost: " + target.host + "\r\n";
    if (!etag.empty()) request += "If-None-Match: " + etag + "\r\n";
    return request + "Connection: close\r\n\r\n";
}

std::string fieldOf(const std::string& reply, const std::string& name) {
    auto at = reply.find("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return reply.substr(at, reply.find("\r\n", at) - at);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: statepoll <link> [--addresses N] [--per-address N] [--seconds S]\n");
        return 2;
    }
    Target target;
    if (!parseLink(argv[1], target)) {
        std::fprintf(stderr, "statepoll: not a link: %s\n", argv[1]);
        return 2;
    }
    int addresses = 3, perAddress = 3;
    double seconds = 10;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        if (name == "--addresses")
            addresses = std::atoi(argv[i + 1]);
        else if (name == "--per-address")
            perAddress = std::atoi(argv[i + 1]);
        else if (name == "--seconds")
            seconds = std::atof(argv[i + 1]);
    }

    std::string reply;
    if (exchange(target, "127.0.0.2", stateRequest(target, ""), reply) != 200) {
        std::fprintf(stderr, "statepoll: the state is not served at %s\n", argv[1]);
        return 1;
    }
    const std::string request = stateRequest(target, fieldOf(reply, "ETag"));

    std::mutex mutex;
    std::vector<double> latencies;
    std::atomic<long> failures{0}, refused{0}, others{0};
    const auto until =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const auto begin = Clock::now();
    std::vector<std::thread> threads;
    for (int a = 0; a < addresses; ++a) {
        for (int c = 0; c < perAddress; ++c) {
            const std::string source = "127.0.0." + std::to_string(2 + a);
            threads.emplace_back([&, source] {
                std::vector<double> mine;
                std::string answer;
                while (Clock::now() < until) {
                    auto start = Clock::now();
                    int status = exchange(target, source, request, answer);
                    auto took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                    if (status == 304)
                        mine.push_back(took);
                    else if (status == 0)
                        ++failures;
                    else if (status < 0)
                        ++refused;
                    else
                        ++others;
                }
                std::lock_guard<std::mutex> lock(mutex);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
            });
        }
    }
    for (auto& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) {
        if (latencies.empty()) return 0.0;
        return latencies[std::min(latencies.size() - 1, static_cast<std::size_t>(p * latencies.size()))];
    };
    std::printf(
        "state polls: %zu answers 304 in %.1f s = %.0f/s; p50 %.2f ms, p99 %.2f ms; "
        "%ld closed without answer, %ld connections refused, %ld other answers (%d addresses x %d connections)\n",
        latencies.size(), elapsed, latencies.size() / elapsed, percentile(0.50), percentile(0.99), failures.load(),
        refused.load(), others.load(), addresses, perAddress);
    return 0;
}
