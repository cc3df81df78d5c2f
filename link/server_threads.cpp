// Lifecycle of the link server: listening, the accept thread, the four workers and stop.

#include "base/random_token.h"
#include "link/transfer_server.h"
#include "platform/system.h"

#include <stdexcept>
#include <utility>

namespace {

constexpr std::uint16_t firstPort = 8765;
constexpr std::uint16_t lastPort = 8785;
constexpr int backlog = 8;
constexpr std::size_t queueLimit = 8;
constexpr std::uint32_t perAddressLimit = 3;
constexpr int acceptPollMs = 200;
constexpr int workerCount = 4;

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
        if (!running.load() || queue.size() >= queueLimit ||
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
        try {
            serve(client);
        } catch (...) {
            // A failed request costs only its own connection.
        }
        std::lock_guard<std::mutex> lock(queueMutex);
        active.erase(client.socket);
        platform::closeSocket(client.socket);
        releaseAddress(client.address);
    }
}

void TransferServer::stop() {
    if (!running.exchange(false)) return;
    {
        // A worker between its look at the flag and its wait holds this lock, so taking
        // it here keeps the wake-up below from being lost.
        std::lock_guard<std::mutex> lock(queueMutex);
    }
    queueReady.notify_all();
    if (acceptThread.joinable()) acceptThread.join();
    listener.reset();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        for (const Client& waiting : queue) {
            platform::closeSocket(waiting.socket);
            releaseAddress(waiting.address);
        }
        queue.clear();
        // The serving worker closes its socket itself; this only ends its waits.
        for (const auto& serving : active) platform::shutdownSocket(serving.first);
    }
    queueReady.notify_all();
    // A worker may sit in a file read; cutting it lets the joins below return promptly.
    for (std::thread& thread : workers) platform::cancelThreadIo(thread);
    for (std::thread& thread : workers) {
        if (thread.joinable()) thread.join();
    }
    workers.clear();
}
