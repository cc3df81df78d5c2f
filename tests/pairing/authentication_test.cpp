#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "bluetooth/pairing/authentication.h"
#include "tests/pairing/fake_platform.h"
#include "tests/support/eventually.h"
#include "tests/support/raised.h"

namespace {

WindowHandle windowA = reinterpret_cast<WindowHandle>(0x1010);
WindowHandle windowB = reinterpret_cast<WindowHandle>(0x2020);
constexpr unsigned long long phone = 0x0012345678ABull;
constexpr unsigned long long otherPhone = 0x00AABBCCDDEEull;
constexpr unsigned requestMessage = 0x8035;

class MailboxTest : public ::testing::Test {
protected:
    FakePlatform platform;
    AuthenticationMailbox mailbox;
};

TEST_F(MailboxTest, SecondRequestOfSamePhoneReplacesTheFirst) {
    unsigned long long first = mailbox.post(windowA, request(phone, AuthMethod::numericComparison, 111111), 5000);
    unsigned long long second = mailbox.post(windowA, request(phone, AuthMethod::numericComparison, 222222), 5001);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_FALSE(mailbox.take(windowA, first, 5002));
    auto taken = mailbox.take(windowA, second, 5002);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->params.numericValue, 222222u);
    EXPECT_EQ(taken->expiresAt, 5001u + 60000u);
    EXPECT_FALSE(mailbox.take(windowA, second, 5003)) << "a request is taken once";
}

TEST_F(MailboxTest, ThirtyThirdPendingRequestIsRefused) {
    std::vector<unsigned long long> ids;
    for (unsigned long long device = 1; device <= 32; ++device) {
        ids.push_back(mailbox.post(windowA, request(device), 100));
        ASSERT_NE(ids.back(), 0u) << "request " << device;
    }
    EXPECT_EQ(mailbox.post(windowA, request(33), 100), 0u);
    EXPECT_EQ(mailbox.pending(), 32u);
    // A replacement of a pending device is not a new entry and still fits.
    EXPECT_NE(mailbox.post(windowA, request(5), 101), 0u);
    ASSERT_TRUE(mailbox.take(windowA, ids[0], 102));
    EXPECT_NE(mailbox.post(windowA, request(33), 102), 0u) << "room again once one is taken";
}

TEST_F(MailboxTest, AnotherWindowsKeyYieldsNothingAndLeavesTheEntry) {
    unsigned long long id = mailbox.post(windowA, request(phone), 0);
    EXPECT_FALSE(mailbox.take(windowB, id, 1));
    EXPECT_EQ(mailbox.pending(), 1u);
    EXPECT_TRUE(mailbox.take(windowA, id, 2));
}

// The same phone for two windows: two entries, neither replacing the other.
TEST_F(MailboxTest, RequestExpiresAfterSixtySeconds) {
    unsigned long long kept = mailbox.post(windowA, request(phone), 1000);
    unsigned long long lost = mailbox.post(windowB, request(phone), 1000);
    EXPECT_TRUE(mailbox.take(windowA, kept, 1000 + 59999));
    EXPECT_FALSE(mailbox.take(windowB, lost, 1000 + 60000));
    EXPECT_EQ(mailbox.pending(), 0u);
}

TEST_F(MailboxTest, ExpiredRequestsFreeTheirPlaces) {
    for (unsigned long long device = 1; device <= 32; ++device)
        ASSERT_NE(mailbox.post(windowA, request(device), 0), 0u);
    EXPECT_EQ(mailbox.post(windowA, request(40), 59999), 0u);
    EXPECT_NE(mailbox.post(windowA, request(40), 60000), 0u);
    EXPECT_EQ(mailbox.pending(), 1u);
}

TEST_F(MailboxTest, DiscardDropsOnlyThatWindow) {
    unsigned long long a = mailbox.post(windowA, request(phone), 0);
    unsigned long long b = mailbox.post(windowB, request(otherPhone), 0);
    mailbox.discard(windowA);
    EXPECT_FALSE(mailbox.take(windowA, a, 1));
    EXPECT_TRUE(mailbox.take(windowB, b, 1));
}

TEST_F(MailboxTest, IdentifiersAreNonZeroAndNeverReused) {
    platform.scripted = {0, 77, 77, 0, 78};
    EXPECT_EQ(mailbox.post(windowA, request(1), 0), 77u);
    EXPECT_EQ(mailbox.post(windowA, request(2), 0), 78u);
}

TEST_F(MailboxTest, GeneratorFailureIsReported) {
    platform.randomFails = true;
    EXPECT_EQ(errorOf([&] { mailbox.post(windowA, request(phone), 0); }), "Identifiant interne indisponible.");
    platform.randomFails = false;
    // A generator stuck on one used value is refused too instead of looping.
    platform.scripted.assign(200, 5);
    EXPECT_EQ(mailbox.post(windowA, request(1), 0), 5u);
    EXPECT_THROW(mailbox.post(windowA, request(2), 0), std::runtime_error);
    platform.scripted.clear();
}

class ListenerTest : public ::testing::Test {
protected:
    void TearDown() override {
        discardBluetoothChallenges(windowA);
        discardBluetoothChallenges(windowB);
    }
    static BluetoothDeviceRecord chosen() {
        BluetoothDeviceRecord record;
        record.address = phone;
        return record;
    }
    FakePlatform platform;
    const BluetoothDeviceRecord device = chosen();
};

TEST_F(ListenerTest, RequestOfTheChosenPhoneIsPostedAndTaken) {
    BluetoothAuthListener listener(windowA, device, requestMessage);
    EXPECT_EQ(platform.registeredAddress, phone);
    AuthenticationParams params = request(phone, AuthMethod::passkeyNotification, 4242);
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(platform.lastContext, &params));
    ASSERT_EQ(platform.posted.size(), 1u);
    const PostedMessage& posted = platform.posted[0];
    EXPECT_EQ(posted.window, windowA);
    EXPECT_EQ(posted.message, requestMessage);
    EXPECT_EQ(posted.lParam, 0);
    EXPECT_FALSE(takeBluetoothChallenge(windowB, posted.wParam));
    auto challenge = takeBluetoothChallenge(windowA, posted.wParam);
    ASSERT_TRUE(challenge);
    EXPECT_EQ(challenge->params.numericValue, 4242u);
    EXPECT_EQ(challenge->params.method, AuthMethod::passkeyNotification);
    EXPECT_EQ(challenge->expiresAt, platform.clock + 60000);
    EXPECT_TRUE(platform.responses.empty()) << "the callback never answers by itself";
}

TEST_F(ListenerTest, AnotherDevicesRequestIsIgnored) {
    BluetoothAuthListener listener(windowA, device, requestMessage);
    AuthenticationParams foreign = request(otherPhone);
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(platform.lastContext, &foreign));
    EXPECT_TRUE(platform.posted.empty());
    EXPECT_EQ(inbox().pending(), 0u);
}

TEST_F(ListenerTest, UnknownContextOrMissingParametersDoNothing) {
    BluetoothAuthListener listener(windowA, device, requestMessage);
    AuthenticationParams params = request(phone);
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(nullptr, &params));
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(reinterpret_cast<void*>(0x5), &params));
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(platform.lastContext, nullptr));
    EXPECT_TRUE(platform.posted.empty());
}

TEST_F(ListenerTest, NothingIsPostedAfterTheListenerIsDestroyed) {
    void* context = nullptr;
    {
        BluetoothAuthListener listener(windowA, device, requestMessage);
        context = platform.lastContext;
        AuthenticationParams params = request(phone);
        BluetoothAuthListener::onAuthentication(context, &params);
        ASSERT_EQ(platform.posted.size(), 1u);
        EXPECT_EQ(inbox().pending(), 1u);
    }
    EXPECT_EQ(inbox().pending(), 0u) << "the window's pending requests go with the listener";
    ASSERT_EQ(platform.unregistered.size(), 1u);
    EXPECT_EQ(platform.unregistered[0], &platform.handleToken);
    AuthenticationParams late = request(phone);
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(context, &late));
    EXPECT_EQ(platform.posted.size(), 1u);
    EXPECT_EQ(inbox().pending(), 0u);
}

TEST_F(ListenerTest, CallbacksRacingTheDestructorPostNothingAfterIt) {
    auto listener = std::make_unique<BluetoothAuthListener>(windowA, device, requestMessage);
    void* context = platform.lastContext;
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::thread stack([&] {
        AuthenticationParams params = request(phone);
        for (int i = 0; i < 200000 && !stop.load(); ++i) {
            BluetoothAuthListener::onAuthentication(context, &params);
            calls.fetch_add(1);
        }
    });
    eventually([&] { return calls.load() >= 50; }, std::chrono::seconds(10));
    listener.reset();
    std::size_t afterDestruction = platform.postedCount();
    int callsAtDestruction = calls.load();
    eventually([&] { return calls.load() >= callsAtDestruction + 50; }, std::chrono::seconds(10));
    stop = true;
    stack.join();
    EXPECT_GT(afterDestruction, 0u);
    EXPECT_EQ(platform.postedCount(), afterDestruction);
    EXPECT_EQ(inbox().pending(), 0u);
}

TEST_F(ListenerTest, FailedPostTakesTheRequestBack) {
    BluetoothAuthListener listener(windowA, device, requestMessage);
    platform.postSucceeds = false;
    AuthenticationParams params = request(phone);
    BluetoothAuthListener::onAuthentication(platform.lastContext, &params);
    EXPECT_EQ(inbox().pending(), 0u);
}

TEST_F(ListenerTest, FullMailboxLeavesTheRequestUnanswered) {
    for (unsigned long long address = 1; address <= 32; ++address)
        ASSERT_NE(inbox().post(windowB, request(address), platform.clock), 0u);
    BluetoothAuthListener listener(windowA, device, requestMessage);
    AuthenticationParams params = request(phone);
    EXPECT_TRUE(BluetoothAuthListener::onAuthentication(platform.lastContext, &params));
    EXPECT_TRUE(platform.posted.empty());
    EXPECT_TRUE(platform.responses.empty());
}

TEST_F(ListenerTest, RegistrationFailureIsReportedAndLeavesNoRoute) {
    platform.registerResult = 5;
    EXPECT_EQ(errorOf([&] { BluetoothAuthListener listener(windowA, device, requestMessage); }),
              "Ecoute du code Bluetooth impossible (Windows 5).");
    AuthenticationParams params = request(phone);
    BluetoothAuthListener::onAuthentication(platform.lastContext, &params);
    EXPECT_TRUE(platform.posted.empty());
    EXPECT_TRUE(platform.unregistered.empty());
}

TEST_F(ListenerTest, RejectSendsANegativeAnswerOnlyWhenTheMethodHasOne) {
    rejectBluetoothChallenge(request(phone, AuthMethod::numericComparison, 654321));
    rejectBluetoothChallenge(request(phone, AuthMethod::passkey, 1));
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].address, phone);
    EXPECT_EQ(platform.responses[0].numericValue, 654321u);
}

TEST(PairingPrompt, CodeIsSixDigitsBelowOneMillionOnly) {
    EXPECT_EQ(makePairingPrompt(request(phone, AuthMethod::numericComparison, 999999)).code, L"999999");
    EXPECT_EQ(makePairingPrompt(request(phone, AuthMethod::passkeyNotification, 0)).code, L"000000");
    PairingPrompt tooBig = makePairingPrompt(request(phone, AuthMethod::numericComparison, 1000000));
    EXPECT_FALSE(tooBig.comparable);
    EXPECT_TRUE(tooBig.code.empty());
    EXPECT_TRUE(tooBig.label.empty());
    EXPECT_EQ(tooBig.instruction.rfind(L"Ce mode d\u2019appairage ne fournit pas de code", 0), 0u);
}

TEST(PairingPrompt, NoCodeWithoutAMeansToCompare) {
    EXPECT_FALSE(
        makePairingPrompt(request(phone, AuthMethod::numericComparison, 5, IoCapability::noInputNoOutput)).comparable);
    EXPECT_FALSE(
        makePairingPrompt(request(phone, AuthMethod::numericComparison, 5, IoCapability::undefined)).comparable);
    EXPECT_TRUE(
        makePairingPrompt(request(phone, AuthMethod::numericComparison, 5, IoCapability::displayOnly)).comparable);
    EXPECT_TRUE(
        makePairingPrompt(request(phone, AuthMethod::numericComparison, 5, IoCapability::keyboardOnly)).comparable);
    EXPECT_FALSE(makePairingPrompt(request(0, AuthMethod::numericComparison, 5)).comparable);
    for (std::uint32_t method : {0u, 1u, 2u, 5u, 6u})
        EXPECT_FALSE(makePairingPrompt(request(phone, method, 5)).comparable) << "method " << method;
}

TEST(PairingPrompt, TextsFollowTheMethod) {
    PairingPrompt compare = makePairingPrompt(request(phone, AuthMethod::numericComparison, 1));
    EXPECT_EQ(compare.label, L"Les codes correspondent");
    EXPECT_EQ(compare.instruction,
              L"V\u00e9rifiez que ces six chiffres sont identiques sur votre t\u00e9l\u00e9phone. Confirmez aussi la "
              L"demande sur Android.");
    PairingPrompt enter = makePairingPrompt(request(phone, AuthMethod::passkeyNotification, 1));
    EXPECT_EQ(enter.label, L"Code saisi sur Android");
    EXPECT_EQ(enter.instruction,
              L"Saisissez ces six chiffres sur votre t\u00e9l\u00e9phone, puis confirmez ici apr\u00e8s les avoir "
              L"saisis.");
}

TEST(PairingResponse, LegacyPinRequestIsAlwaysRefused) {
    AuthenticationParams legacy = request(phone, AuthMethod::legacy, 1234);
    PairingResponse answer = makePairingResponse(legacy, true);
    EXPECT_TRUE(answer.send);
    EXPECT_TRUE(answer.response.negative);
    EXPECT_EQ(answer.response.method, AuthMethod::legacy);
    EXPECT_EQ(answer.response.address, phone);
    EXPECT_EQ(answer.response.numericValue, 0u);
    EXPECT_EQ(answer.response.passkey, 0u);
}

TEST(PairingResponse, OnlyLegacyComparisonAndNotificationGetAnAnswer) {
    for (std::uint32_t method : {0u, 2u, 5u, 6u, 255u})
        EXPECT_FALSE(makePairingResponse(request(phone, method, 1), true).send) << "method " << method;
    for (std::uint32_t method : {1u, 3u, 4u})
        EXPECT_TRUE(makePairingResponse(request(phone, method, 1), false).send) << "method " << method;
}

TEST(PairingResponse, PositiveOnlyWithAComparableCode) {
    PairingResponse yes = makePairingResponse(request(phone, AuthMethod::numericComparison, 314159), true);
    EXPECT_FALSE(yes.response.negative);
    EXPECT_EQ(yes.response.numericValue, 314159u);
    EXPECT_EQ(yes.response.passkey, 0u);
    EXPECT_TRUE(makePairingResponse(request(phone, AuthMethod::numericComparison, 314159), false).response.negative);
    EXPECT_TRUE(makePairingResponse(request(phone, AuthMethod::numericComparison, 1000000), true).response.negative);
    EXPECT_TRUE(
        makePairingResponse(request(phone, AuthMethod::numericComparison, 7, IoCapability::noInputNoOutput), true)
            .response.negative);
    PairingResponse entered = makePairingResponse(request(phone, AuthMethod::passkeyNotification, 271828), true);
    EXPECT_FALSE(entered.response.negative);
    EXPECT_EQ(entered.response.passkey, 271828u);
    EXPECT_EQ(entered.response.numericValue, 0u);
}

}  // namespace
