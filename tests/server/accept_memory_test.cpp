// Memory exhaustion in the accept thread: the connection being taken in is lost, the
// server and the process live on. This executable replaces the global operator new
// so that a test can make one allocation on a server thread fail.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "link/transfer_server.h"
#include "tests/server/test_client.h"

namespace {

std::atomic<bool> failNextOffThread{false};
std::atomic<int> failures{0};
thread_local bool testThread = false;

void* allocate(std::size_t size) {
    // Only a server thread's allocation fails: the test's own thread is left alone.
    if (!testThread && failNextOffThread.load() && failNextOffThread.exchange(false)) {
        ++failures;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}

}  // namespace

// GCC inlines these into callers and, not knowing that this new takes its memory from
// malloc, reports each free() as a mismatched deallocation.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace testing_link {
namespace {

using std::chrono::seconds;

TEST(AcceptUnderMemoryExhaustion, OnlyThatConnectionIsLost) {
    testThread = true;
    startSockets();
    TransferServer server("<p>page</p>", "p{}", "void 0;");
    server.start("127.0.0.1");
    ASSERT_TRUE(server.running.load());
    const std::string host = "127.0.0.1:" + std::to_string(server.port);
    const std::string state = request("GET", "/" + server.token + "/state", host);

    // The workers sleep until a connection is queued, so the next allocation off this
    // thread is the accept thread's, while it queues and counts this connection.
    failNextOffThread = true;
    Client lost("127.0.0.1", server.port, "127.0.0.4");
    lost.send(state);
    EXPECT_TRUE(lost.closedWithoutAnswer(seconds(5)));
    EXPECT_EQ(failures.load(), 1);
    EXPECT_TRUE(server.running.load());
    EXPECT_EQ(server.acceptError.load(), 0u);

    // Nothing was left counted for that address: three at once are all served.
    std::vector<std::unique_ptr<Client>> phone;
    phone.reserve(3);
    for (int i = 0; i < 3; ++i) phone.push_back(std::make_unique<Client>("127.0.0.1", server.port, "127.0.0.4"));
    for (auto& client : phone) {
        client->send(state);
        EXPECT_EQ(parseAnswer(client->receiveAll(seconds(5))).status, 200);
    }
    server.stop();
}

}  // namespace
}  // namespace testing_link
