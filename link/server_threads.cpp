// Lifecycle of the link server: listening, the accept thread, the four workers and stop.

#include <stdexcept>
#include <utility>

#include "link/transfer_server.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/thread_io.h"

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

}  // namespace

TransferServer::~TransferServer() { stop(); }

void TransferServer::start(const std::string& where) {
  if (running.load()) return;
  std::uint32_t hostOrder = 0;
  if (!platform::parseIpv4(where, hostOrder) || hostOrder == 0 || hostOrder >= 0xE0000000u) {
    throw std::runtime_error(badAddress);
  }
  token = randomToken();
  address = where;
  lastStatePoll = 0;
  acceptError = 0;

  platform::Socket listener = platform::tcpSocket();
  if (listener == platform::invalidSocket) throw std::runtime_error("Creation du serveur impossible.");
  if (!platform::exclusiveAddress(listener) || !platform::setNonBlocking(listener)) {
    platform::closeSocket(listener);
    throw std::runtime_error("Configuration du serveur impossible.");
  }
  std::uint16_t bound = 0;
  for (std::uint16_t candidate = firstPort; candidate <= lastPort && bound == 0; ++candidate) {
    if (platform::bindIpv4(listener, hostOrder, candidate)) bound = candidate;
  }
  if (bound == 0 || !platform::listenOn(listener, backlog)) {
    platform::closeSocket(listener);
    throw std::runtime_error(noPort);
  }
  port = bound;
  listenSocket = listener;
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
    int ready = platform::waitReadable(listenSocket, acceptPollMs);
    if (ready == 0) continue;
    if (ready < 0) {
      acceptError = platform::lastSocketError();
      return;
    }
    std::uint32_t peer = 0;
    platform::Socket accepted = platform::acceptFrom(listenSocket, peer);
    if (accepted == platform::invalidSocket) continue;
    if (!platform::setNonBlocking(accepted)) {
      platform::closeSocket(accepted);
      continue;
    }
    std::lock_guard<std::mutex> lock(queueMutex);
    auto count = perAddress.find(peer);
    if (!running.load() || queue.size() >= queueLimit ||
        (count != perAddress.end() && count->second >= perAddressLimit)) {
      platform::closeSocket(accepted);
      continue;
    }
    std::uint32_t& slot = perAddress[peer];
    try {
      queue.push_back(Client{accepted, peer, platform::tickCount()});
    } catch (...) {
      if (slot == 0) perAddress.erase(peer);
      platform::closeSocket(accepted);
      continue;
    }
    ++slot;
    queueReady.notify_one();
  }
}

void TransferServer::releaseAddress(std::uint32_t peer) {
  auto count = perAddress.find(peer);
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
      // A failed request only costs its own connection.
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
  if (listenSocket != platform::invalidSocket) platform::closeSocket(listenSocket);
  listenSocket = platform::invalidSocket;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    for (const Client& waiting : queue) {
      platform::closeSocket(waiting.socket);
      releaseAddress(waiting.address);
    }
    queue.clear();
    for (const auto& serving : active) platform::shutdownSocket(serving.first);
  }
  queueReady.notify_all();
  // A worker may sit in a file read; cutting it lets the join below return promptly.
  for (std::thread& thread : workers) platform::cancelThreadIo(thread);
  for (std::thread& thread : workers) {
    if (thread.joinable()) thread.join();
  }
  workers.clear();
}
