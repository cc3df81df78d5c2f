#include "link/network_connection.h"
#include "platform/system.h"
#include "tests/support/eventually.h"
#include "tests/support/loopback.h"
#include "tests/support/patterned.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigaction is POSIX, not <csignal>
#include <sys/mman.h>
#include <unistd.h>
#endif

using testing_support::loopbackPair;
using testing_support::receiveAll;

namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

const std::string securityBlock =
    "Connection: close\r\n"
    "Cache-Control: no-store\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: DENY\r\n"
    "Cross-Origin-Resource-Policy: same-origin\r\n"
    "Permissions-Policy: camera=(), microphone=(), geolocation=()\r\n"
    "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "base-uri 'none'; frame-ancestors 'none'; form-action 'none'\r\n";

// One server-side connection over loopback, with its own running flag.
struct Fixture {
    testing_support::LoopbackPair pair = loopbackPair();
    std::atomic<bool> running{true};
    NetworkConnection connection{pair.server.get(), &running, platform::tickCount() + 60000};

    // Everything the server sent, once it has closed its side.
    std::string answer() {
        pair.server.reset();
        return receiveAll(pair.client.get());
    }
};

// Sends on the server side until the kernel buffers are full (the client reads nothing).
void fillBuffers(platform::SocketHandle socket) {
    const std::string block(65536, 'f');
    for (int i = 0; i < 4096; ++i)
        if (platform::sendSome(socket, block.data(), block.size()) < 0) break;
}

}  // namespace

TEST(Response, WritesTheExactHeadThenTheBody) {
    Fixture f;
    ASSERT_TRUE(response(f.connection, 200, "text/plain; charset=utf-8", "bonjour", false, "ETag: \"4-fr\"\r\n"));
    EXPECT_EQ(f.answer(),
              "HTTP/1.1 200 OK\r\n"
              "Content-Type: text/plain; charset=utf-8\r\n"
              "Content-Length: 7\r\n" +
                  securityBlock + "ETag: \"4-fr\"\r\n\r\nbonjour");
}

TEST(Response, ErrorsCarryTheSameFixedBlock) {
    Fixture f;
    ASSERT_TRUE(response(f.connection, 400, "text/plain; charset=utf-8", "Requete invalide.", false, ""));
    EXPECT_EQ(f.answer(),
              "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 17\r\n" +
                  securityBlock + "\r\nRequete invalide.");
}

TEST(Response, EachStatusHasItsReasonAndUnknownOnesReadNotFound) {
    const std::pair<int, std::string> expected[] = {
        {200, "OK"},        {304, "Not Modified"},       {400, "Bad Request"},
        {403, "Forbidden"}, {405, "Method Not Allowed"}, {431, "Request Header Fields Too Large"},
        {404, "Not Found"}, {401, "Not Found"},          {500, "Not Found"},
    };
    for (const auto& [status, reason] : expected) {
        Fixture f;
        ASSERT_TRUE(headers(f.connection, status, "text/html", 0, ""));
        const std::string line = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
        EXPECT_EQ(f.answer().substr(0, line.size()), line);
    }
}

TEST(Response, NotModifiedHasNoLengthAndNoBody) {
    Fixture f;
    ASSERT_TRUE(response(f.connection, 304, "application/json", "{\"revision\":4}", false, "ETag: \"4-en\"\r\n"));
    EXPECT_EQ(f.answer(), "HTTP/1.1 304 Not Modified\r\nContent-Type: application/json\r\n" + securityBlock +
                              "ETag: \"4-en\"\r\n\r\n");
}

TEST(Response, HeadOnlyGivesTheLengthOfTheBodyButNotTheBody) {
    Fixture f;
    ASSERT_TRUE(response(f.connection, 200, "text/css", std::string(1234, 'c'), true, ""));
    const std::string answer = f.answer();
    EXPECT_NE(answer.find("\r\nContent-Length: 1234\r\n"), std::string::npos);
    EXPECT_EQ(answer.substr(answer.size() - 4), "\r\n\r\n");
    EXPECT_EQ(answer.find('c' + std::string(10, 'c')), std::string::npos);
}

TEST(Response, NoBodyFollowsAFailedHead) {
    Fixture f;
    f.running = false;
    EXPECT_FALSE(response(f.connection, 200, "text/plain", "secret", false, ""));
    EXPECT_EQ(f.answer(), "");
}

TEST(Write, DeliversALargeBufferWhileThePeerReadsSlowly) {
    Fixture f;
    const std::string data = patterned(6 * 1024 * 1024 + 17);
    std::string received;
    std::thread reader([&] { received = receiveAll(f.pair.client.get(), data.size()); });
    EXPECT_TRUE(f.connection.write(data.data(), data.size()));
    reader.join();
    EXPECT_TRUE(received == data) << "received " << received.size() << " of " << data.size() << " bytes";
}

TEST(Write, EmptySucceedsAtOnceAndNothingSucceedsAfterStopOrDeadline) {
    Fixture f;
    f.running = false;
    EXPECT_TRUE(f.connection.write("", 0));
    EXPECT_FALSE(f.connection.write("x", 1));
    f.running = true;
    f.connection.deadline = platform::tickCount();
    EXPECT_FALSE(f.connection.write("x", 1));
    EXPECT_EQ(f.answer(), "");
}

TEST(Write, FailsPromptlyWhenThePeerHasGone) {
    Fixture f;
    f.pair.client.reset();
    const std::string data(8 * 1024 * 1024, 'g');
    const auto start = Clock::now();
    EXPECT_FALSE(f.connection.write(data.data(), data.size()));
    EXPECT_LT(millisecondsSince(start), 5000);
}

TEST(Write, GivesUpAfterFifteenSecondsWithoutProgress) {
    Fixture f;
    f.connection.deadline = platform::tickCount() + 40000;  // far beyond; must not be what ends it
    const std::string data(64 * 1024 * 1024, 'w');          // more than loopback buffers hold
    const auto start = Clock::now();
    EXPECT_FALSE(f.connection.write(data.data(), data.size()));
    const long long elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 15000);
    EXPECT_LT(elapsed, 22000);
}

TEST(Write, EndsWithinAPollOfTheRunningFlagClearing) {
    Fixture f;
    fillBuffers(f.pair.server.get());
    const std::string data(1024 * 1024, 'w');
    std::atomic<bool> finished{false};
    bool result = true;
    std::thread writer([&] {
        result = f.connection.write(data.data(), data.size());
        finished = true;
    });
    // Still blocked after a while: the peer reads nothing.
    EXPECT_FALSE(eventually([&] { return finished.load(); }, std::chrono::milliseconds(300)));
    const auto cleared = Clock::now();
    f.running = false;
    long long waited = -1;
    if (eventually([&] { return finished.load(); }, std::chrono::milliseconds(600)))
        waited = millisecondsSince(cleared);
    writer.join();
    EXPECT_FALSE(result);
    EXPECT_GE(waited, 0) << "write still pending 600 ms after the flag cleared";
    EXPECT_LE(waited, 300);
    std::cout << "write returned " << waited << " ms after the running flag cleared\n";
}

TEST(Read, ReturnsDataThenZeroWhenThePeerCloses) {
    Fixture f;
    ASSERT_TRUE(testing_support::sendAll(f.pair.client.get(), "GET /"));
    unsigned char buffer[64];
    const std::uint64_t until = platform::tickCount() + 5000;
    ASSERT_EQ(f.connection.read(buffer, sizeof buffer, until), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "GET /");
    f.pair.client.reset();
    EXPECT_EQ(f.connection.read(buffer, sizeof buffer, until), 0);
}

TEST(Read, TakesAtMost65536BytesPerCall) {
    Fixture f;
    const std::string data(200000, 'r');
    std::thread sender([&] { testing_support::sendAll(f.pair.client.get(), data); });
    std::string buffer(1 << 20, '\0');
    std::size_t total = 0;
    const std::uint64_t until = platform::tickCount() + 10000;
    for (int calls = 0; calls < 1000 && total < data.size(); ++calls) {
        const std::int32_t got =
            f.connection.read(reinterpret_cast<unsigned char*>(buffer.data()), buffer.size(), until);
        ASSERT_GT(got, 0);
        EXPECT_LE(got, 65536);
        total += static_cast<std::size_t>(got);
    }
    sender.join();
    EXPECT_EQ(total, data.size());
}

TEST(Read, TimesOutAtUntilAndAtTheDeadline) {
    Fixture f;
    unsigned char byte;
    auto start = Clock::now();
    EXPECT_EQ(f.connection.read(&byte, 1, platform::tickCount() + 250), -1);
    long long elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 240);
    EXPECT_LT(elapsed, 1500);

    f.connection.deadline = platform::tickCount() + 250;
    start = Clock::now();
    EXPECT_EQ(f.connection.read(&byte, 1, platform::tickCount() + 60000), -1);
    elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 240);
    EXPECT_LT(elapsed, 1500);
    // Data that arrives after the deadline is not read either.
    ASSERT_TRUE(testing_support::sendAll(f.pair.client.get(), "late"));
    EXPECT_EQ(f.connection.read(&byte, 1, platform::tickCount() + 60000), -1);
}

TEST(Read, EndsWithinAPollOfTheRunningFlagClearing) {
    Fixture f;
    std::atomic<bool> finished{false};
    std::int32_t result = 0;
    std::thread reader([&] {
        unsigned char byte;
        result = f.connection.read(&byte, 1, platform::tickCount() + 30000);
        finished = true;
    });
    EXPECT_FALSE(eventually([&] { return finished.load(); }, std::chrono::milliseconds(300)));
    const auto cleared = Clock::now();
    f.running = false;
    const long long waited =
        eventually([&] { return finished.load(); }, std::chrono::milliseconds(600)) ? millisecondsSince(cleared) : -1;
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_GE(waited, 0);
    EXPECT_LE(waited, 300);
}

TEST(Wait, ReportsReadinessAndFailsOnceStopped) {
    Fixture f;
    EXPECT_TRUE(f.connection.wait(true, platform::tickCount() + 1000));
    EXPECT_FALSE(f.connection.wait(false, platform::tickCount() + 150));
    ASSERT_TRUE(testing_support::sendAll(f.pair.client.get(), "x"));
    EXPECT_TRUE(f.connection.wait(false, platform::tickCount() + 5000));
    f.running = false;
    EXPECT_FALSE(f.connection.wait(false, platform::tickCount() + 5000));
}

TEST(JsonString, EscapesQuotesBackslashesAndControlBytesOnly) {
    EXPECT_EQ(jsonString(""), "\"\"");
    EXPECT_EQ(jsonString("\t"), "\"\\u0009\"");
    EXPECT_EQ(jsonString("a\nb"), "\"a\\u000ab\"");
    EXPECT_EQ(jsonString("\x1f"), "\"\\u001f\"");
    EXPECT_EQ(jsonString(std::string("\0", 1)), "\"\\u0000\"");
    EXPECT_EQ(jsonString("say \"hi\" \\o/"), "\"say \\\"hi\\\" \\\\o/\"");
    EXPECT_EQ(jsonString("\xE2\x82\xAC \x7F /"), "\"\xE2\x82\xAC \x7F /\"");
    EXPECT_EQ(jsonString("</script>"), "\"</script>\"");
}

TEST(UrlEncode, KeepsUnreservedLettersAndEncodesEverythingElse) {
    EXPECT_EQ(urlEncode("a-b.c_d"), "a-b.c_d");
    EXPECT_EQ(urlEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(urlEncode(" "), "%20");
    EXPECT_EQ(urlEncode("~"), "%7E");
    EXPECT_EQ(urlEncode("\xC3\xA9"), "%C3%A9");
    EXPECT_EQ(urlEncode("r\xC3\xA9sum\xC3\xA9 final.pdf"), "r%C3%A9sum%C3%A9%20final.pdf");
    EXPECT_EQ(urlEncode("a\"b;c%d/e\\f'\r\n"), "a%22b%3Bc%25d%2Fe%5Cf%27%0D%0A");
    EXPECT_EQ(urlEncode(std::string("\0\xFF", 2)), "%00%FF");
    EXPECT_EQ(urlEncode(""), "");
}

// Two pages; the second is made unreadable and the first read of it is recorded
// (and then allowed), which shows whether code looked at bytes placed there.
class WatchedPage {
public:
    WatchedPage() {
#ifdef _WIN32
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size = info.dwPageSize;
        base = static_cast<char*>(VirtualAlloc(nullptr, 2 * size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
#else
        size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* mapped = mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
#endif
    }
    ~WatchedPage() {
#ifdef _WIN32
        if (handler) RemoveVectoredExceptionHandler(handler);
        if (base) VirtualFree(base, 0, MEM_RELEASE);
#else
        if (armed) sigaction(SIGSEGV, &previous, nullptr);
        if (base) munmap(base, 2 * size);
#endif
        current = nullptr;
    }
    // Copies `bytes` so that the first `before` of them end the first page and the
    // rest start the watched one; returns where they are.
    std::string_view place(const std::string& bytes, std::size_t before) {
        char* at = base + size - before;
        current = this;
#ifdef _WIN32
        DWORD old;
        VirtualProtect(base + size, size, PAGE_READWRITE, &old);
        std::memcpy(at, bytes.data(), bytes.size());  // NOLINT(bugprone-not-null-terminated-result): bytes
        touched = false;
        VirtualProtect(base + size, size, PAGE_NOACCESS, &old);
        if (!handler) handler = AddVectoredExceptionHandler(1, onFault);
#else
        mprotect(base + size, size, PROT_READ | PROT_WRITE);
        std::memcpy(at, bytes.data(), bytes.size());  // NOLINT(bugprone-not-null-terminated-result): bytes
        touched = false;
        mprotect(base + size, size, PROT_NONE);
        if (!armed) {
            struct sigaction action {};
            action.sa_sigaction = onFault;
            action.sa_flags = SA_SIGINFO;
            sigemptyset(&action.sa_mask);
            armed = sigaction(SIGSEGV, &action, &previous) == 0;
        }
#endif
        return std::string_view(at, bytes.size());
    }
    bool ready() const { return base != nullptr; }
    std::atomic<bool> touched{false};

private:
    bool inside(const void* address) const {
        const char* p = static_cast<const char*>(address);
        return p >= base + size && p < base + 2 * size;
    }
    void allow() {
        touched = true;
#ifdef _WIN32
        DWORD old;
        VirtualProtect(base + size, size, PAGE_READONLY, &old);
#else
        mprotect(base + size, size, PROT_READ);
#endif
    }
#ifdef _WIN32
    static LONG CALLBACK onFault(EXCEPTION_POINTERS* e) {
        const EXCEPTION_RECORD* r = e->ExceptionRecord;
        if (r->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || !current || r->NumberParameters < 2 ||
            !current->inside(reinterpret_cast<const void*>(r->ExceptionInformation[1])))
            return EXCEPTION_CONTINUE_SEARCH;
        current->allow();
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    PVOID handler = nullptr;
#else
    static void onFault(int, siginfo_t* info, void*) {
        if (!current || !current->inside(info->si_addr)) {
            signal(SIGSEGV, SIG_DFL);  // a real crash: let it happen
            return;
        }
        current->allow();
    }
    bool armed = false;
    struct sigaction previous {};
#endif
    static WatchedPage* current;
    char* base = nullptr;
    std::size_t size = 0;
};
WatchedPage* WatchedPage::current = nullptr;

TEST(ConstantTimeEqual, ComparesWholeStrings) {
    const std::string token = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(constantTimeEqual(token, std::string(token)));
    EXPECT_TRUE(constantTimeEqual("", ""));
    EXPECT_FALSE(constantTimeEqual(token, token.substr(0, 31)));
    EXPECT_FALSE(constantTimeEqual(token, token + "0"));
    EXPECT_FALSE(constantTimeEqual("", "a"));
    std::string last = token;
    last.back() = 'e';
    EXPECT_FALSE(constantTimeEqual(token, last));
    std::string first = token;
    first.front() = '1';
    EXPECT_FALSE(constantTimeEqual(token, first));
    // Bytes that differ only in the high bit are still different.
    EXPECT_FALSE(constantTimeEqual(std::string_view("\x80", 1), std::string_view("\x00", 1)));

    // What sets it apart from an ordinary comparison: the bytes after the first
    // difference are still read, on either side. The watched bytes start far enough
    // past the difference that no block-wise memcmp would load them either.
    const std::string same(1024, 'a');
    std::string differs = same;
    differs.front() = 'b';
    WatchedPage page;
    ASSERT_TRUE(page.ready());
    EXPECT_FALSE(constantTimeEqual(page.place(differs, 512), same));
    EXPECT_TRUE(page.touched) << "stopped at the first differing byte";
    EXPECT_FALSE(constantTimeEqual(same, page.place(differs, 512)));
    EXPECT_TRUE(page.touched) << "stopped at the first differing byte";
    EXPECT_TRUE(constantTimeEqual(page.place(same, 512), same));
    EXPECT_TRUE(page.touched);
}
