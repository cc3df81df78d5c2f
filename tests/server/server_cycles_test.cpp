// Stop/start cycles of the link server, each serving one request, must leave the
// process with the threads and handles it had: a leak of one per cycle shows as one
// per cycle. Counts are printed for the record.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "platform/socket.h"
#include "tests/server/server_fixture.h"
#include "tests/support/process_counts.h"

namespace testing_link {
namespace {

// Each stop waits out the accept thread's 200 ms poll, so a cycle takes about 0.2 s.
// The system makes a few objects of its own on first use (the tolerance); a leak of
// one per cycle passes it within a quarter of the cycles.
constexpr int cycles = 40;
constexpr int tolerance = 8;

void cycle(TransferServer& server) {
    server.start("127.0.0.1");
    ASSERT_TRUE(server.running.load());
    Client client("127.0.0.1", server.port);
    client.send(request("GET", "/" + server.token + "/state", "127.0.0.1:" + std::to_string(server.port)));
    bool closed = false;
    EXPECT_EQ(parseAnswer(client.receiveAll(std::chrono::seconds(5), &closed)).status, 200);
    server.stop();
    ASSERT_FALSE(server.running.load());
}

TEST(ServerCycles, StopStartCyclesLeaveNoThreadOrHandleBehind) {
    ASSERT_TRUE(platform::startSockets());
    TransferServer server("<p>page</p>", "p{}", "void 0;");
    for (int i = 0; i < 3; ++i) cycle(server);
    const int threads = testing_support::threadCount();
    const int handles = testing_support::handleCount();
    ASSERT_GT(threads, 0);
    ASSERT_GT(handles, 0);
    for (int i = 0; i < cycles && !HasFatalFailure(); ++i) cycle(server);
    // Counted once at the end: under Wine a handle count probes the whole handle table.
    const int threadsAfter = testing_support::threadCount();
    const int handlesAfter = testing_support::handleCount();
    std::printf("link server, %d stop/start cycles: threads %d -> %d, handles %d -> %d\n", cycles, threads,
                threadsAfter, handles, handlesAfter);
    EXPECT_LE(threadsAfter - threads, tolerance);
    EXPECT_LE(handlesAfter - handles, tolerance);
}

}  // namespace
}  // namespace testing_link
