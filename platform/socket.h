#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// TCP/IPv4 sockets behind one small interface: Winsock on Windows, BSD sockets natively.
// Addresses are 32-bit IPv4 values in network byte order, as the system gives them.
namespace platform {

#ifdef _WIN32
using SocketHandle = std::uintptr_t;  // SOCKET
constexpr SocketHandle invalidSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
constexpr SocketHandle invalidSocket = -1;
#endif

// Winsock 2.2 start-up and clean-up; natively nothing to do.
bool startSockets();
void stopSockets();

void closeSocket(SocketHandle socket);
bool setNonBlocking(SocketHandle socket);
void shutdownSocket(SocketHandle socket);  // both directions

// Waits up to `timeoutMs` for the socket to become readable (or writable).
// Returns 1 when ready, 0 on time-out, -1 when the wait failed (the reason in
// lastSocketError()). Natively an interruption by a signal counts as a time-out, so
// callers simply check their flags and wait again.
// Without `socketError`, a socket error counts as ready: the next recv or send
// reports it. With it, the wait also watches for the error a failed non-blocking
// connect leaves (Windows shows it only in select's exception set) and returns -2
// with the socket's pending error there.
int waitSocket(SocketHandle socket, bool forWrite, int timeoutMs, int* socketError = nullptr);

// The socket's pending error (SO_ERROR), 0 for none; false, with `error` = the last
// socket error, when it cannot be read.
bool pendingSocketError(SocketHandle socket, int& error);

// One recv/send call of at most `length` bytes. Returns the count, 0 when the peer
// closed (recv), or -1 with the reason in lastSocketError(). send never raises SIGPIPE.
int receiveSome(SocketHandle socket, void* buffer, std::size_t length);
int sendSome(SocketHandle socket, const void* data, std::size_t length);

// WSAGetLastError() on Windows, errno natively.
int lastSocketError();
// True for the "try again later" code of a non-blocking socket (also EINTR natively).
bool wouldBlock(int error);

// Listening side, in the order the server uses it.
SocketHandle openTcpSocket();
// Exactly one listener per address and port: SO_EXCLUSIVEADDRUSE on Windows. Natively
// SO_REUSEADDR, which still refuses a second listener but lets a restart rebind a port
// whose closed connections sit in TIME_WAIT.
bool setExclusiveAddressUse(SocketHandle socket);
bool bindIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port);
bool listenOn(SocketHandle socket, int backlog);
// Returns the new socket (invalidSocket on failure) and the peer's address.
SocketHandle acceptConnection(SocketHandle listener, std::uint32_t& peerAddress);
// The local port of a bound socket, 0 on failure.
std::uint16_t localPort(SocketHandle socket);

// Blocking connect, for clients (tests and tools).
bool connectIPv4(SocketHandle socket, std::uint32_t address, std::uint16_t port);

// Dotted IPv4 text to an address (inet_pton); false for anything else.
bool parseIPv4(std::string_view text, std::uint32_t& address);

// Owns one socket; move-only so a socket is closed exactly once.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketHandle handle) : handle_(handle) {}
    Socket(Socket&& other) noexcept : handle_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { reset(); }

    SocketHandle get() const { return handle_; }
    bool valid() const { return handle_ != invalidSocket; }
    SocketHandle release() {
        SocketHandle handle = handle_;
        handle_ = invalidSocket;
        return handle;
    }
    void reset(SocketHandle handle = invalidSocket) {
        if (handle_ != invalidSocket) closeSocket(handle_);
        handle_ = handle;
    }

private:
    SocketHandle handle_ = invalidSocket;
};

}  // namespace platform
