// Who counts as a phone that reached the link server, with a real other host: the
// test runs in the "phone" namespace of tests/e2e/in_namespaces.sh and starts the
// server from a thread that joined the "pc" one (the server's sockets and threads
// stay there). Linux only, as root.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "link/transfer_server.h"
#include "tests/support/eventually.h"
#include "tests/support/loopback.h"

namespace {

// Runs `work` on a thread inside the network namespace `name`.
template <class Work>
void inNamespace(const std::string& name, Work&& work) {
    std::thread([&] {
        const int handle = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(handle, 0) << name;
        ASSERT_EQ(setns(handle, CLONE_NEWNET), 0);
        close(handle);
        work();
    }).join();
}

// One whole state request from `source` (empty: the system's choice); true once it
// is answered, which proves the server accepted the connection.
bool stateAnswered(const TransferServer& server, const std::string& source) {
    platform::Socket client(platform::openTcpSocket());
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    if (!client.valid() || !platform::parseIPv4(server.address, to)) return false;
    if (!source.empty() && (!platform::parseIPv4(source, from) || !platform::bindIPv4(client.get(), from, 0)))
        return false;
    if (!platform::connectIPv4(client.get(), to, server.port)) return false;
    testing_support::sendAll(client.get(), "GET /" + server.token + "/state HTTP/1.1\r\nHost: " + server.address + ":" +
                                               std::to_string(server.port) + "\r\n\r\n");
    return testing_support::receiveFor(client.get(), 12, std::chrono::seconds(5)).rfind("HTTP/1.1 200", 0) == 0;
}

TEST(ServerPeers, ThePcsOwnConnectionsDoNotCountAsAPhoneAnotherHostsDoes) {
    const char* pc = std::getenv("PC_NETNS");
    const char* shared = std::getenv("PC_ADDRESS");
    ASSERT_TRUE(pc && shared) << "run by tests/e2e/in_namespaces.sh";
    testing_support::startSocketsOnce();
    TransferServer server("p", "s", "j");
    inNamespace(pc, [&] { server.start(shared); });
    ASSERT_TRUE(server.running.load());

    // Preview in the PC's browser: from the shared address itself, and from loopback.
    bool answered = false;
    inNamespace(pc, [&] { answered = stateAnswered(server, shared) && stateAnswered(server, "127.0.0.1"); });
    EXPECT_TRUE(answered);
    EXPECT_FALSE(server.reached.load()) << "the PC's own connection counted as a phone";

    EXPECT_TRUE(stateAnswered(server, ""));
    EXPECT_TRUE(eventually([&] { return server.reached.load(); })) << "a phone's connection did not count";
    server.stop();
}

}  // namespace
