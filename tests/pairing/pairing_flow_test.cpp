#include <gtest/gtest.h>

#include "bluetooth/pairing/pairing_flow.h"
#include "tests/pairing/fake_platform.h"

namespace {

constexpr unsigned long long phone = 0x00A1B2C3D4E5ull;

AuthenticationChallenge challengeFor(const AuthenticationParams& params, unsigned long long expiresAt = 70000) {
    return AuthenticationChallenge{params, expiresAt};
}

class FlowTest : public ::testing::Test {
protected:
    FakePlatform platform;
};

TEST_F(FlowTest, ComparableRequestShowsItsCodeAndConfirmGoesOutOnce) {
    PairingFlow flow(true);
    ChallengeView view = flow.showChallenge(challengeFor(request(phone, AuthMethod::numericComparison, 42)));
    EXPECT_EQ(view.code, L"000042");
    EXPECT_EQ(view.confirmCaption, L"Les codes correspondent");
    EXPECT_TRUE(view.confirmEnabled);
    EXPECT_EQ(view.progress, L"Votre confirmation est n\u00e9cessaire sur les deux appareils.");
    EXPECT_EQ(flow.confirm(10000), ConfirmResult::Sent);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_FALSE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].numericValue, 42u);
    EXPECT_TRUE(flow.positiveSent);
    EXPECT_EQ(flow.confirm(10001), ConfirmResult::Ignored) << "one answer per shown request";
    flow.cancel(10002);
    EXPECT_EQ(platform.responses.size(), 1u);
}

TEST_F(FlowTest, ConfirmationAfterExpiryGoesOutNegative) {
    PairingFlow flow(true);
    flow.showChallenge(challengeFor(request(phone), 70000));
    EXPECT_EQ(flow.confirm(70000), ConfirmResult::NotSent);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_FALSE(flow.positiveSent);
    EXPECT_TRUE(flow.message.empty());
}

TEST_F(FlowTest, RequestWithoutComparableCodeCanOnlyBeRefused) {
    PairingFlow flow(false);
    ChallengeView view = flow.showChallenge(
        challengeFor(request(phone, AuthMethod::numericComparison, 7, IoCapability::noInputNoOutput)));
    EXPECT_EQ(view.code, L"\u2014");
    EXPECT_FALSE(view.confirmEnabled);
    EXPECT_EQ(view.confirmCaption, L"Confirmer");
    EXPECT_EQ(view.progress, L"Appairage \u00e0 terminer dans les param\u00e8tres Windows.");
    EXPECT_EQ(flow.confirm(1000), ConfirmResult::Ignored);
    EXPECT_TRUE(platform.responses.empty());
    flow.cancel(1001);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_TRUE(flow.aborted);
}

TEST_F(FlowTest, RequestAfterRefusalIsRefusedAtOnce) {
    PairingFlow flow(false);
    flow.cancel(1000);
    EXPECT_TRUE(platform.responses.empty()) << "nothing shown, nothing to answer";
    flow.refuseLate(challengeFor(request(phone, AuthMethod::passkeyNotification, 5)), 1001);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].passkey, 5u);
    EXPECT_FALSE(flow.challengePending);
}

TEST_F(FlowTest, FailedSendLeavesAMessageButCancelDoesNot) {
    PairingFlow failing(false);
    platform.sendResult = 5;
    failing.showChallenge(challengeFor(request(phone)));
    EXPECT_EQ(failing.confirm(1000), ConfirmResult::NotSent);
    EXPECT_EQ(failing.message, L"Windows n\u2019a pas pu transmettre la confirmation Bluetooth (5).");

    PairingFlow cancelled(false);
    platform.sendResult = 1223;
    cancelled.showChallenge(challengeFor(request(phone)));
    EXPECT_EQ(cancelled.confirm(1000), ConfirmResult::NotSent);
    EXPECT_TRUE(cancelled.message.empty());
}

TEST_F(FlowTest, TimerEndsAttemptsAfterNinetySecondsAndExpiredRequests) {
    PairingFlow pairing(false);
    pairing.openedAt = 5000;
    EXPECT_FALSE(pairing.timerCancels(5000 + 89999));
    EXPECT_TRUE(pairing.timerCancels(5000 + 90000));
    pairing.aborted = true;
    EXPECT_FALSE(pairing.timerCancels(5000 + 90000)) << "already ending";

    PairingFlow confirmation(true);
    confirmation.openedAt = 5000;
    EXPECT_FALSE(confirmation.timerCancels(5000 + 200000)) << "only the request's expiry applies";
    confirmation.showChallenge(challengeFor(request(phone), 9000));
    EXPECT_FALSE(confirmation.timerCancels(8999));
    EXPECT_TRUE(confirmation.timerCancels(9000));
}

TEST_F(FlowTest, FinishedThreadIsCheckedOnlyForAPlausibleSuccess) {
    PairingFlow flow(false);
    EXPECT_EQ(flow.finishStep(), FinishStep::Running);
    flow.threadFinished = true;
    flow.result = 259;
    EXPECT_EQ(flow.finishStep(), FinishStep::CheckPairing);
    flow.result = 0;
    EXPECT_EQ(flow.finishStep(), FinishStep::Failed) << "success without our confirmation is not trusted";
    flow.notPaired();
    EXPECT_EQ(flow.message, PairingText::notConfirmed);
    flow.positiveSent = true;
    EXPECT_EQ(flow.finishStep(), FinishStep::CheckPairing);
    flow.aborted = true;
    EXPECT_EQ(flow.finishStep(), FinishStep::Failed);
}

TEST_F(FlowTest, NotPairedKeepsAnEarlierMessageAndIgnoresOtherCodes) {
    PairingFlow flow(false);
    flow.result = 1168;
    flow.notPaired();
    EXPECT_TRUE(flow.message.empty());
    flow.result = 0;
    flow.message = L"Windows n\u2019a pas pu transmettre la confirmation Bluetooth (87).";
    flow.notPaired();
    EXPECT_EQ(flow.message, L"Windows n\u2019a pas pu transmettre la confirmation Bluetooth (87).");
}

TEST_F(FlowTest, OutcomeOfTheDialog) {
    PairingFlow flow(false);
    EXPECT_EQ(pairingOutcome(6, flow).kind, PairingOutcome::Paired);

    flow.result = 1168;
    PairingOutcome other = pairingOutcome(2, flow);
    EXPECT_EQ(other.kind, PairingOutcome::Failed);
    EXPECT_EQ(other.error,
              "Appairage non termine (Windows 1168). Annulez sur Android, puis relancez Choisir / associer dans "
              "Tolvenaire. Si une ancienne association existe, retirez-la des deux appareils avant de recommencer.");

    EXPECT_EQ(pairingOutcome(-1, flow).error, "Fenetre de confirmation Bluetooth introuvable.");

    flow.message = PairingText::couldNotStart;
    EXPECT_EQ(pairingOutcome(2, flow).error,
              "Impossible de d\xC3\xA9marrer l\xE2\x80\x99"
              "appairage.");

    flow.result = 1223;
    EXPECT_EQ(pairingOutcome(2, flow).kind, PairingOutcome::NotPaired);
    flow.result = 1168;
    flow.aborted = true;
    EXPECT_EQ(pairingOutcome(2, flow).kind, PairingOutcome::NotPaired) << "a refusal is silent";
}

}  // namespace
