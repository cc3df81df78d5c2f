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
// start. One accept thread queues connections (at most 3 per peer address and 128 in
// all, queued, served or downloading). Eight workers read each request and answer the
// short ones (page, assets, state, refusals); a download (file or text) is handed to
// a lane of its own, at most 32 streaming at once and the rest waiting their turn,
// so a phone's page and polls never queue behind other phones' downloads.
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

    // A download taken off the workers: its connection, whose head is read and checked
    // and which has been sent nothing yet, and what it streams.
    struct Download {
        Client client;
        std::shared_ptr<FileShare> file;          // the file to stream, or
        std::shared_ptr<const std::string> text;  // the text; both empty: nothing to stream
        bool english = false;                     // the text's file name
    };

    void acceptLoop();
    void worker();
    void downloader();
    // Under queueMutex: queues a download for the lane, adding a downloader when all
    // are busy and fewer than the limit run. False when it cannot be taken (stopped,
    // no thread at all); the caller then closes the connection.
    bool handOver(Download download);
    void finish(const Client& client);        // under queueMutex: closes and uncounts
    void releaseAddress(std::uint32_t peer);  // under queueMutex
    // Answers the one request of `client` (the worker closes the socket afterwards),
    // or returns the download to stream. Raises only from memory exhaustion.
    Download serve(const Client& client);
    // The routes of a request that passed the checks: the page, its style and script,
    // the state and 404 answered here; the text and the file returned as a download.
    Download route(NetworkConnection& connection, const HttpRequest& request, const std::string& path);
    // Sends a download's answer. Raises only from file access or memory exhaustion.
    void stream(const Download& download);

    platform::Socket listener;
    std::thread acceptThread;
    std::vector<std::thread> workers;
    std::vector<std::thread> downloaders;  // grown on demand up to the limit; added to only by workers
    // Held only to swap pointers and bump the counter, never during I/O.
    mutable std::mutex contentMutex;
    // Guards queue, active, perAddress, downloads, downloaders and idleDownloaders;
    // never held together with contentMutex.
    std::mutex queueMutex;
    std::condition_variable queueReady;
    std::condition_variable downloadReady;
    std::deque<Client> queue;
    std::deque<Download> downloads;  // waiting for a downloader
    std::size_t idleDownloaders = 0;
    // Socket to peer address, from a worker's pick-up to the close: served, waiting to
    // download or downloading.
    std::unordered_map<platform::SocketHandle, std::uint32_t> active;
    std::unordered_map<std::uint32_t, std::uint32_t> perAddress;  // queued or served, per peer
    std::shared_ptr<const std::string> text;
    std::shared_ptr<FileShare> file;
    std::uint64_t revision = 0;
    std::string page, style, script;
};
