#pragma once

// A small blocking HTTP client for driving the link server from tests: it can bind
// its own source address in 127.0.0.0/8 (to act as several phones), send raw bytes
// and read until the server closes, always under a deadline. The sockets are
// tests/support/loopback.h's.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "platform/socket.h"

namespace testing_link {

// One parsed answer. `complete` is true when the server closed after a whole head.
struct Answer {
    int status = 0;
    std::string head;                           // the head as received, final blank line included
    std::map<std::string, std::string> fields;  // lower-cased names
    std::string body;
    bool complete = false;
    std::string field(const std::string& lowerName) const;
};

class Client {
public:
    // Connects to host:port from `source` (port chosen by the system). Throws on failure.
    // A small window makes a download stall once a little data is in flight.
    Client(const std::string& host, std::uint16_t port, const std::string& source = "127.0.0.1",
           bool smallWindow = false);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool send(const std::string& bytes);
    // Reads at most `limit` more bytes, waiting until `timeout` passes; returns what came.
    std::string receive(std::size_t limit, std::chrono::milliseconds timeout);
    // Reads until the peer closes or the timeout passes; `closed` tells which.
    std::string receiveAll(std::chrono::milliseconds timeout, bool* closed = nullptr);
    // True when the server closes the connection within `timeout` without sending a byte.
    bool closedWithoutAnswer(std::chrono::milliseconds timeout);
    void close();

private:
    platform::Socket socket_;
};

// Starts the platform's socket library once (Winsock needs it); tests/support/loopback.h's.
void startSockets();

// Parses raw bytes received from the server.
Answer parseAnswer(const std::string& raw);

// One whole exchange: connects, sends `request`, reads until close (10 s at most).
Answer exchange(const std::string& host, std::uint16_t port, const std::string& request,
                const std::string& source = "127.0.0.1");

// A plain GET or HEAD with the given Host line and extra header lines (each ending in CRLF).
std::string request(const std::string& method, const std::string& target, const std::string& host,
                    const std::string& extra = "");

// A listener that holds a port, for the port fallback tests. `held` is false when the
// port could not be taken (someone else holds it).
class PortHolder {
public:
    PortHolder(const std::string& address, std::uint16_t port);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool held() const;

private:
    platform::Socket socket_;
};

}  // namespace testing_link
