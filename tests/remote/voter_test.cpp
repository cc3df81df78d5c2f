// The voter identifier and the like marker in the current user's registry. Runs in
// a Wine prefix of its own; each case starts and ends with the key removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "remote/like_vote.h"
#include "remote/remote.h"
#include "tests/support/raised.h"
#include "tests/support/registry_win.h"

namespace {

const std::string InvalidId = "L’identifiant de soutien de ce profil est invalide.";

void removeKey() { testing_support::deleteUserKey(remote::RegistryKey); }

void store(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    testing_support::storeUserValue(remote::RegistryKey, name, type, data, size);
}

void storeText(const std::wstring& text) {
    store(remote::VoterValue, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void storeLike(DWORD value) { store(remote::LikeKey, REG_DWORD, &value, sizeof value); }

using Stored = testing_support::StoredValue;
Stored stored(const wchar_t* name) { return testing_support::storedUserValue(remote::RegistryKey, name); }

class VoterId : public ::testing::Test {
protected:
    void SetUp() override { removeKey(); }
    void TearDown() override { removeKey(); }
};

TEST_F(VoterId, EachNewProfileDrawsAFreshVersionFourIdentifierStoredOnceAndReused) {
    std::set<std::wstring> seen;
    const std::wregex form(LR"(\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\})");
    std::wstring id;
    for (int i = 0; i < 32; ++i) {
        removeKey();
        id = remote::voterId();
        EXPECT_TRUE(std::regex_match(id, form)) << std::string(id.begin(), id.end());
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 32u);
    const Stored value = stored(remote::VoterValue);
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    // 38 characters and the terminating null.
    EXPECT_EQ(value.bytes, std::string(reinterpret_cast<const char*>(id.c_str()), 39 * sizeof(wchar_t)));
    EXPECT_EQ(remote::voterId(), id);
    EXPECT_EQ(remote::voterId(), id);
}

TEST_F(VoterId, AMalformedStoredIdentifierIsRefusedAndKept) {
    for (const std::wstring& text : {
             std::wstring(L"{0A1B2C3D-4E5F-4a6b-8c7d-0123456789AB}"),
             std::wstring(L"0a1b2c3d-4e5f-4a6b-8c7d-0123456789ab"),
             std::wstring(L"{0a1b2c3d-4e5f-4a6b-8c7d-0123456789ab}x"),
             std::wstring(L"{0a1b2c3d4e5f4a6b8c7d0123456789ab}"),
             std::wstring(L""),
         }) {
        storeText(text);
        const Stored before = stored(remote::VoterValue);
        EXPECT_EQ(errorOf([] { remote::voterId(); }), InvalidId) << std::string(text.begin(), text.end());
        const Stored after = stored(remote::VoterValue);
        EXPECT_EQ(after.type, before.type);
        EXPECT_EQ(after.bytes, before.bytes);
    }
}

// A value of another type or too long for an identifier is no identifier either:
// replacing it would hand this profile a second identity.
TEST_F(VoterId, AStoredValueOfAnotherTypeOrTooLongIsKeptToo) {
    const DWORD number = 7;
    store(remote::VoterValue, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(errorOf([] { remote::voterId(); }), InvalidId);
    EXPECT_EQ(stored(remote::VoterValue).type, static_cast<DWORD>(REG_DWORD));

    const std::wstring tooLong(100, L'a');
    storeText(tooLong);
    EXPECT_EQ(errorOf([] { remote::voterId(); }), InvalidId);
    const Stored after = stored(remote::VoterValue);
    EXPECT_EQ(after.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(after.bytes.size(), 101 * sizeof(wchar_t));
}

// The named mutex held by another instance (here another thread, since a mutex
// belongs to a thread) makes the identifier step give up after its wait; an
// abandoned one counts as free.
TEST_F(VoterId, WaitsForTheNamedMutexThenGivesUp) {
    std::mutex lock;
    std::condition_variable changed;
    bool held = false;
    bool release = false;
    std::thread holder([&] {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, remote::VoterMutex);
        {
            std::lock_guard<std::mutex> guard(lock);
            held = mutex != nullptr;
        }
        changed.notify_all();
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(30), [&] { return release; });
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return held; }));
    }
    const ULONGLONG began = GetTickCount64();
    EXPECT_EQ(errorOf([] { remote::voterId(); }), "Une autre fenêtre prépare un soutien. Réessayez.");
    const ULONGLONG waited = GetTickCount64() - began;
    std::printf("voterId gave up on the held mutex after %llu ms\n", waited);
    EXPECT_GE(waited, 4500u);
    EXPECT_FALSE(stored(remote::VoterValue).present);
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    changed.notify_all();
    holder.join();
    EXPECT_FALSE(remote::voterId().empty());
}

TEST_F(VoterId, AnAbandonedMutexCountsAsAcquired) {
    // Owned by a thread that ends without releasing it; the handle stays open here.
    HANDLE kept = nullptr;
    std::thread owner([&] { kept = CreateMutexW(nullptr, TRUE, remote::VoterMutex); });
    owner.join();
    ASSERT_NE(kept, nullptr);
    const std::wstring id = remote::voterId();
    EXPECT_EQ(id.size(), 38u);
    EXPECT_EQ(remote::voterId(), id);  // and it was released again
    CloseHandle(kept);
}

TEST_F(VoterId, LikeMarkerIsOneDwordOfValueOne) {
    EXPECT_FALSE(remote::alreadyLiked());
    storeLike(0);
    EXPECT_FALSE(remote::alreadyLiked());
    storeLike(2);
    EXPECT_FALSE(remote::alreadyLiked());
    const std::wstring text = L"1";
    store(remote::LikeKey, REG_SZ, text.c_str(), 2 * sizeof(wchar_t));
    EXPECT_FALSE(remote::alreadyLiked());
    storeLike(1);
    EXPECT_TRUE(remote::alreadyLiked());
    // Another version's marker says nothing about this one.
    removeKey();
    const DWORD one = 1;
    store(L"Like-1.1.0", REG_DWORD, &one, sizeof one);
    EXPECT_FALSE(remote::alreadyLiked());
}

}  // namespace
