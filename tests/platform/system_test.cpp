#include "platform/system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

TEST(TickCount, FollowsTheMonotonicClockInMilliseconds) {
    const auto startClock = std::chrono::steady_clock::now();
    const std::uint64_t startTick = platform::tickCount();
    std::uint64_t previous = startTick;
    // Until 200 ms have passed on the tick count; bounded by 2 s of wall time.
    while (previous - startTick < 200 && std::chrono::steady_clock::now() - startClock < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::uint64_t now = platform::tickCount();
        ASSERT_GE(now, previous);
        previous = now;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startClock).count();
    EXPECT_GE(previous - startTick, 200u);
    // Seconds or microseconds instead of milliseconds would be far off either way.
    EXPECT_LE(previous - startTick, static_cast<std::uint64_t>(elapsed) + 50);
    EXPECT_GE(previous - startTick + 50, static_cast<std::uint64_t>(elapsed));
}

TEST(SystemRandom, FillsTheWholeBufferWithFreshBytes) {
    std::array<unsigned char, 256> first{}, second{};
    ASSERT_TRUE(platform::systemRandom(first.data(), first.size()));
    ASSERT_TRUE(platform::systemRandom(second.data(), second.size()));
    EXPECT_NE(first, second);
    // The tail is filled too: 32 zero bytes in a row would mean a short fill.
    EXPECT_FALSE(std::all_of(first.end() - 32, first.end(), [](unsigned char b) { return b == 0; }));
}

TEST(SecureZero, ClearsEveryByte) {
    std::array<unsigned char, 33> buffer;
    buffer.fill(0xA5);
    platform::secureZero(buffer.data(), buffer.size());
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](unsigned char b) { return b == 0; }));
}
