#pragma once

#include "base/text.h"
#include "base/file_share.h"
#include "platform/socket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct HttpRequest;
struct NetworkConnection;

// What the link server publishes at one instant.
struct SharedContent {
    std::shared_ptr<const std::string> text;  // UTF-8; never null
    std::shared_ptr<FileShare> file;          // empty when no file is shared
    std::uint64_t revision = 0;               // change counter at that instant
};

// The HTTP server the phone reaches over the local network. It listens on one local
// IPv4 address, on the first free port from 8765 to 8785, under a fresh token per
// start. One accept thread queues connections (at most 8 waiting, at most 3 per peer
// address, queued or served); four workers answer one request per connection.
// The shared content and the link are in transfer_server.cpp, start, stop and the
// threads in server_threads.cpp, and the answer to one connection (serve) in serve.cpp.
class TransferServer {
public:
    // What the window calls.

    // The phone page, its style sheet and its script. The new server is stopped and
    // shares an empty text and no file, at revision 0.
    TransferServer(std::string page, std::string style, std::string script);
    ~TransferServer();  // stops first
    TransferServer(const TransferServer&) = delete;
    TransferServer& operator=(const TransferServer&) = delete;

    // Starts listening on `where` (dotted IPv4) with a new token; does nothing while
    // running. Raises std::runtime_error with a French message: "Adresse IPv4 locale
    // invalide. Selectionnez une interface du PC." (not IPv4, 0.0.0.0, multicast and
    // above), "Creation du serveur impossible.", "Configuration du serveur
    // impossible.", "Adresse ou ports 8765 a 8785 indisponibles. Verifiez la connexion
    // reseau.". A failed start leaves the server stopped with no open socket.
    void start(const std::string& where);
    // Ends every thread promptly: queued connections are closed, served ones shut down
    // and file reads in progress cut. Never raises; nothing to do when stopped.
    void stop();

    // Shared content; callable from any thread. Every call raises the revision by 1,
    // even when nothing changed, so the phone notices each one.
    // setText raises std::length_error "Texte limite a 4 Mo en UTF-8." above
    // 4,194,304 bytes and the errors of wide() for invalid UTF-8; a failed call
    // changes nothing.
    void setText(std::string text);
    void setFile(std::shared_ptr<FileShare> file);  // empty withdraws the file
    SharedContent snapshot() const;

    // The private link, "http://" + address + ":" + port + "/" + token + "/";
    // meaningful while running.
    std::string link() const;

    static constexpr std::size_t maximumTextBytes = ::maximumTextBytes;

    // What the window reads, without locks, while the server runs.

    std::atomic<bool> running{false};
    std::atomic<std::uint64_t> lastStatePoll{0};  // tick of the last page or state request; 0 for none
    // Whether a connection from another host has come in since start, whatever it
    // then sent or not: the way from a phone to this PC is open (Wi-Fi, firewall),
    // which is what the window asks when no phone shows up. The PC's own connections
    // (loopback, the shared address) do not count.
    std::atomic<bool> reached{false};
    std::atomic<std::uint32_t> acceptError{0};  // socket error that ended the accept thread
    // Set by start, read by the window and the workers.
    std::string token;
    std::string address;
    std::uint16_t port = 0;

private:
    // One accepted connection.
    struct Client {
        platform::SocketHandle socket = platform::invalidSocket;
        std::uint32_t address = 0;     // the peer's IPv4 address, network byte order
        std::uint64_t acceptedAt = 0;  // tick count at acceptance
    };

    void acceptLoop();
    void worker();
    void releaseAddress(std::uint32_t peer);  // under queueMutex
    // Answers the one request of `client` (the worker closes the socket afterwards).
    // Raises only from file access or memory exhaustion.
    void serve(const Client& client);
    // The routes of a request that passed the checks: the page, its style and script,
    // the state, the text and the file; 404 for anything else.
    void route(NetworkConnection& connection, const HttpRequest& request, const std::string& path);

    platform::Socket listener;
    std::thread acceptThread;
    std::vector<std::thread> workers;
    // Held only to swap pointers and bump the counter, never during I/O.
    mutable std::mutex contentMutex;
    // Guards queue, active and perAddress; never held together with contentMutex.
    std::mutex queueMutex;
    std::condition_variable queueReady;
    std::deque<Client> queue;
    std::unordered_map<platform::SocketHandle, std::uint32_t> active;  // socket to peer address
    std::unordered_map<std::uint32_t, std::uint32_t> perAddress;       // queued or served, per peer
    std::shared_ptr<const std::string> text;
    std::shared_ptr<FileShare> file;
    std::uint64_t revision = 0;
    std::string page, style, script;
};
