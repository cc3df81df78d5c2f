// remote::Actions with a message-only window standing in for the main window. The
// actions themselves are replaced by runners the test holds back or lets go.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "remote/actions.h"
#include "tests/remote/message_window_win.h"
#include "tests/support/eventually.h"

namespace {

using remote::Action;
using remote::Actions;

// Deadline for anything the test waits on; a healthy run needs milliseconds.
constexpr ULONGLONG WaitMs = 10000;

// Holds runners back until opened; counts the runners that entered.
class Gate {
public:
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(WaitMs), [&] { return open_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitEntered(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(WaitMs), [&] { return entered_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int entered_ = 0;
};

// Counts the live copies of a runner that captures `token`, once the test has let
// its own reference go.
struct RunnerCopies {
    std::shared_ptr<int> token = std::make_shared<int>(0);
    std::weak_ptr<int> watch = token;
    // Waits until only `owners` copies remain (those held by finished threads are gone).
    bool waitFor(long owners) const {
        return eventually([&] { return watch.use_count() <= owners; }, std::chrono::milliseconds(WaitMs));
    }
};

TEST(Actions, OneOfEachKindAtATime) {
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    auto gate = std::make_shared<Gate>();
    Actions actions(window.get(), [gate](remote::Result& result) {
        gate->pass();
        result.ok = true;
        if (result.action == Action::Update) result.version = "9.9.9";
    });
    EXPECT_FALSE(actions.pending(Action::Update));
    EXPECT_TRUE(actions.start(Action::Update));
    EXPECT_FALSE(actions.start(Action::Update));
    EXPECT_FALSE(actions.pending(Action::Like));
    EXPECT_TRUE(actions.start(Action::Like));
    EXPECT_FALSE(actions.start(Action::Like));
    ASSERT_TRUE(gate->waitEntered(2));
    EXPECT_FALSE(actions.start(Action::Update));
    EXPECT_TRUE(actions.pending(Action::Update) && actions.pending(Action::Like));
    gate->open();

    const auto keys = window.keys(2);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_NE(keys[0], keys[1]);
    // Finished but not yet taken: the window has not had the outcome.
    EXPECT_TRUE(actions.pending(Action::Update) && actions.pending(Action::Like));
    int updates = 0;
    int likes = 0;
    for (auto key : keys) {
        EXPECT_NE(key, 0u);
        auto result = actions.take(key);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->ok);
        if (result->action == Action::Update) {
            ++updates;
            EXPECT_EQ(result->version, "9.9.9");
        } else {
            ++likes;
        }
    }
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(likes, 1);
    EXPECT_FALSE(actions.pending(Action::Update) || actions.pending(Action::Like));
    // Both kinds are free again once their outcome is posted.
    EXPECT_TRUE(actions.start(Action::Update));
    EXPECT_EQ(window.keys(1).size(), 1u);
}

TEST(Actions, AnUntakenOutcomeIsReplacedByTheNextOfItsKind) {
    MessageWindow window;
    int runs = 0;  // runners of one kind never overlap here
    Actions actions(window.get(), [&runs](remote::Result& result) {
        result.ok = true;
        result.version = std::to_string(++runs) + ".0";
    });
    ASSERT_TRUE(actions.start(Action::Like));
    const auto like = window.keys(1);
    ASSERT_EQ(like.size(), 1u);
    ASSERT_TRUE(actions.start(Action::Update));
    const auto first = window.keys(1);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_TRUE(actions.start(Action::Update));
    const auto second = window.keys(1);
    ASSERT_EQ(second.size(), 1u);

    EXPECT_FALSE(actions.take(first[0]).has_value());
    auto latest = actions.take(second[0]);
    ASSERT_TRUE(latest.has_value());
    EXPECT_EQ(latest->action, Action::Update);
    EXPECT_EQ(latest->version, "3.0");
    EXPECT_FALSE(actions.take(second[0]).has_value());  // taken once only
    // The like's outcome is of another kind and still waits.
    auto liked = actions.take(like[0]);
    ASSERT_TRUE(liked.has_value());
    EXPECT_EQ(liked->action, Action::Like);
    EXPECT_FALSE(actions.take(0).has_value());
    EXPECT_FALSE(actions.take(0x1234567890abcdefULL).has_value());
}

TEST(Actions, FailuresReachTheWindowAsFrenchMessages) {
    MessageWindow window;
    struct Case {
        std::function<void()> raise;
        std::wstring message;
    };
    const std::vector<Case> cases = {
        {[] { throw std::runtime_error("Réponse du site trop volumineuse."); }, L"Réponse du site trop volumineuse."},
        {[] { throw std::invalid_argument("Numéro de version invalide."); }, L"Numéro de version invalide."},
        {[] { throw 42; }, L"Opération Internet indisponible. Réessayez."},
        // A message that is not UTF-8 must not take the thread down.
        {[] { throw std::runtime_error("\xff\xfe"); }, L"Opération Internet indisponible. Réessayez."},
    };
    for (const Case& c : cases) {
        Actions actions(window.get(), [&c](remote::Result& result) {
            result.ok = true;  // set before the failure: it must not stick
            result.version = "1.0";
            c.raise();
        });
        ASSERT_TRUE(actions.start(Action::Update));
        const auto keys = window.keys(1);
        ASSERT_EQ(keys.size(), 1u);
        auto result = actions.take(keys[0]);
        ASSERT_TRUE(result.has_value());
        EXPECT_FALSE(result->ok);
        EXPECT_EQ(result->message, c.message);
    }
}

TEST(Actions, AfterCloseNothingStartsAndNothingIsPosted) {
    MessageWindow window;
    auto gate = std::make_shared<Gate>();
    RunnerCopies copies;
    Actions actions(window.get(), [gate, token = copies.token](remote::Result& result) {
        if (result.action == Action::Update) gate->pass();
        result.ok = true;
    });
    copies.token.reset();
    // A like that finished before the close: its outcome waits, then is dropped.
    ASSERT_TRUE(actions.start(Action::Like));
    const auto liked = window.keys(1);
    ASSERT_EQ(liked.size(), 1u);
    ASSERT_TRUE(actions.start(Action::Update));
    ASSERT_TRUE(gate->waitEntered(1));

    actions.close();
    EXPECT_FALSE(actions.start(Action::Like));
    EXPECT_FALSE(actions.start(Action::Update));
    EXPECT_FALSE(actions.take(liked[0]).has_value());
    gate->open();
    // The update's thread is done once its runner copy is gone; only the Actions
    // object's copy remains.
    ASSERT_TRUE(copies.waitFor(1));
    EXPECT_FALSE(window.pending());
}

TEST(Actions, ARunningActionOutlivesItsRunnerSafely) {
    MessageWindow window;
    auto gate = std::make_shared<Gate>();
    RunnerCopies copies;
    {
        Actions actions(window.get(), [gate, token = copies.token](remote::Result& result) {
            gate->pass();
            result.ok = true;
        });
        copies.token.reset();
        ASSERT_TRUE(actions.start(Action::Update));
        ASSERT_TRUE(gate->waitEntered(1));
    }  // destroyed while the action runs
    gate->open();
    ASSERT_TRUE(copies.waitFor(0));
    EXPECT_FALSE(window.pending());
}

}  // namespace
