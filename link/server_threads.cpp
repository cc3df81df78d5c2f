// Lifecycle of the link server: listening, the accept thread, the workers, the download
// lane and stop.

#include "base/random_token.h"
#include "link/transfer_server.h"
#include "platform/system.h"

#include <stdexcept>
#include <utility>

namespace {

constexpr std::uint16_t firstPort = 8765;
constexpr std::uint16_t lastPort = 8785;
// A classroom opening the link at once arrives as a burst: the system holds it until
// the accept thread takes it in.
constexpr int backlog = 64;
// Connections queued, served or downloading, in all; socket handles are cheap, and
// thirty phones each loading the page over three connections stay under it.
constexpr std::size_t connectionLimit = 128;
constexpr std::uint32_t perAddressLimit = 3;
constexpr int acceptPollMs = 200;
// Workers read heads and answer from memory. A silent connection holds one for up to
// the head time-out, so there are more than one stranger's three.
constexpr int workerCount = 8;
// Each streaming download holds a thread and a 64 KiB buffer; beyond this many, a
// download waits its turn with nothing sent.
constexpr std::size_t downloaderLimit = 32;

const char* const badAddress = "Adresse IPv4 locale invalide. Selectionnez une interface du PC.";
const char* const noPort = "Adresse ou ports 8765 a 8785 indisponibles. Verifiez la connexion reseau.";

std::uint32_t hostOrder(std::uint32_t networkOrder) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrder);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

// Preview in the PC's own browser comes from loopback or from the shared address
// itself; such a connection crosses neither the Wi-Fi nor the firewall, so it tells
// nothing about a phone's way to this PC.
bool fromThisPc(std::uint32_t peer, const std::string& shared) {
    std::uint32_t own = 0;
    return (hostOrder(peer) >> 24) == 127 || (platform::parseIPv4(shared, own) && own == peer);
}

}  // namespace

TransferServer::~TransferServer() { stop(); }

void TransferServer::start(const std::string& where) {
    if (running.load()) return;
    std::uint32_t ip = 0;
    if (!platform::parseIPv4(where, ip) || hostOrder(ip) == 0 || hostOrder(ip) >= 0xE0000000u) {
        throw std::runtime_error(badAddress);
    }
    token = randomToken();
    address = where;
    lastStatePoll = 0;
    reached = false;
    acceptError = 0;

    platform::Socket candidateListener(platform::openTcpSocket());
    if (!candidateListener.valid()) throw std::runtime_error("Creation du serveur impossible.");
    if (!platform::setExclusiveAddressUse(candidateListener.get()) ||
        !platform::setNonBlocking(candidateListener.get())) {
        throw std::runtime_error("Configuration du serveur impossible.");
    }
    std::uint16_t bound = 0;
    for (std::uint16_t candidate = firstPort; candidate <= lastPort && bound == 0; ++candidate) {
        if (platform::bindIPv4(candidateListener.get(), ip, candidate)) bound = candidate;
    }
    if (bound == 0 || !platform::listenOn(candidateListener.get(), backlog)) throw std::runtime_error(noPort);
    port = bound;
    listener = std::move(candidateListener);
    running = true;
    try {
        for (int i = 0; i < workerCount; ++i) workers.emplace_back([this] { worker(); });
        acceptThread = std::thread([this] { acceptLoop(); });
    } catch (...) {
        stop();
        throw;
    }
}

void TransferServer::acceptLoop() {
    while (running.load()) {
        const int ready = platform::waitSocket(listener.get(), false, acceptPollMs);
        if (ready == 0) continue;
        if (ready < 0) {
            // The window sees the code, stops the server and tells the user.
            acceptError = static_cast<std::uint32_t>(platform::lastSocketError());
            return;
        }
        std::uint32_t peer = 0;
        platform::Socket accepted(platform::acceptConnection(listener.get(), peer));
        if (!accepted.valid()) continue;
        // Also when it is refused below: the peer got through to this PC.
        if (!fromThisPc(peer, address)) reached = true;
        if (!platform::setNonBlocking(accepted.get())) continue;

        std::lock_guard<std::mutex> lock(queueMutex);
        const auto count = perAddress.find(peer);
        if (!running.load() || queue.size() + active.size() >= connectionLimit ||
            (count != perAddress.end() && count->second >= perAddressLimit)) {
            continue;  // closed without an answer
        }
        // Either step may run out of memory; then only this connection is lost (the
        // guard closes it) and the count and the queue stay as they were.
        try {
            queue.push_back(Client{accepted.get(), peer, platform::tickCount()});
        } catch (...) {
            continue;
        }
        try {
            ++perAddress[peer];
        } catch (...) {
            queue.pop_back();
            continue;
        }
        accepted.release();
        queueReady.notify_one();
    }
}

void TransferServer::releaseAddress(std::uint32_t peer) {
    const auto count = perAddress.find(peer);
    if (count != perAddress.end() && --count->second == 0) perAddress.erase(count);
}

void TransferServer::finish(const Client& client) {
    active.erase(client.socket);
    platform::closeSocket(client.socket);
    releaseAddress(client.address);
}

void TransferServer::worker() {
    for (;;) {
        Client client;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueReady.wait(lock, [this] { return !running.load() || !queue.empty(); });
            if (!running.load()) return;
            client = queue.front();
            queue.pop_front();
            try {
                active.emplace(client.socket, client.address);
            } catch (...) {
                platform::closeSocket(client.socket);
                releaseAddress(client.address);
                continue;
            }
        }
        Download download;
        try {
            download = serve(client);
        } catch (...) {
            // A failed request costs only its own connection.
        }
        std::lock_guard<std::mutex> lock(queueMutex);
        download.client = client;
        if ((!download.file && !download.text) || !handOver(std::move(download))) finish(client);
    }
}

bool TransferServer::handOver(Download download) {
    if (!running.load()) return false;
    try {
        downloads.push_back(std::move(download));
    } catch (...) {
        return false;
    }
    // Idle downloaders each take one; a thread is added only for what they leave.
    if (downloads.size() > idleDownloaders && downloaders.size() < downloaderLimit) {
        try {
            downloaders.emplace_back([this] { downloader(); });
        } catch (...) {
            if (downloaders.empty()) {
                downloads.pop_back();
                return false;
            }
            // Those that run take it in turn.
        }
    }
    downloadReady.notify_one();
    return true;
}

void TransferServer::downloader() {
    for (;;) {
        Download download;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            ++idleDownloaders;
            downloadReady.wait(lock, [this] { return !running.load() || !downloads.empty(); });
            --idleDownloaders;
            if (!running.load()) return;
            download = std::move(downloads.front());
            downloads.pop_front();
        }
        try {
            stream(download);
        } catch (...) {
            // An unreadable file cuts only this download.
        }
        std::lock_guard<std::mutex> lock(queueMutex);
        finish(download.client);
    }
}

void TransferServer::stop() {
    if (!running.exchange(false)) return;
    {
        // A thread between its look at the flag and its wait holds this lock, so taking
        // it here keeps the wake-ups below from being lost.
        std::lock_guard<std::mutex> lock(queueMutex);
    }
    queueReady.notify_all();
    downloadReady.notify_all();
    if (acceptThread.joinable()) acceptThread.join();
    listener.reset();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const Client& waiting : queue) {
            platform::closeSocket(waiting.socket);
            releaseAddress(waiting.address);
        }
        queue.clear();
        // No worker hands a download over from here on: it sees the flag under this lock.
        for (const Download& waiting : downloads) finish(waiting.client);
        downloads.clear();
        // The serving thread closes its socket itself; this only ends its waits.
        for (const auto& serving : active) platform::shutdownSocket(serving.first);
    }
    queueReady.notify_all();
    downloadReady.notify_all();
    // A thread may sit in a file read; cutting it lets the joins below return promptly.
    // Workers first: once they are gone, nobody adds a downloader.
    for (std::thread& thread : workers) platform::cancelThreadIo(thread);
    for (std::thread& thread : workers) {
        if (thread.joinable()) thread.join();
    }
    workers.clear();
    for (std::thread& thread : downloaders) platform::cancelThreadIo(thread);
    for (std::thread& thread : downloaders) {
        if (thread.joinable()) thread.join();
    }
    downloaders.clear();
}
