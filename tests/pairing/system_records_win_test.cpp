#include <gtest/gtest.h>

#include "bluetooth/pairing/pairing_win.h"
#include "tests/pairing/fake_platform.h"

namespace {

constexpr unsigned long long phone = 0x00C0FFEE1234ull;

BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS systemRequest(unsigned long long address,
                                                       BLUETOOTH_AUTHENTICATION_METHOD method, ULONG value) {
    BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params{};
    params.deviceInfo.dwSize = sizeof params.deviceInfo;
    params.deviceInfo.Address.ullLong = address;
    wcscpy(params.deviceInfo.szName, L"Galaxy \u00e9t\u00e9");
    params.authenticationMethod = method;
    params.ioCapability = BLUETOOTH_IO_CAPABILITY_DISPLAYYESNO;
    params.authenticationRequirements = MITMProtectionRequiredGeneralBonding;
    params.Numeric_Value = value;
    return params;
}

TEST(SystemRecords, SystemCallbackDeliversAFullCopyToTheWindow) {
    FakePlatform platform;
    BLUETOOTH_DEVICE_INFO info{};
    info.dwSize = sizeof info;
    info.Address.ullLong = phone;
    HWND window = reinterpret_cast<HWND>(0x4444);
    {
        BluetoothAuthListener listener(window, deviceRecord(info), WM_APP + 53);
        BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS params =
            systemRequest(phone, BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON, 86420);
        EXPECT_EQ(onSystemAuthentication(platform.lastContext, &params), TRUE);
        BLUETOOTH_AUTHENTICATION_CALLBACK_PARAMS other =
            systemRequest(phone + 1, BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON, 1);
        EXPECT_EQ(onSystemAuthentication(platform.lastContext, &other), TRUE);
        EXPECT_EQ(onSystemAuthentication(platform.lastContext, nullptr), TRUE);
        ASSERT_EQ(platform.posted.size(), 1u);
        auto challenge = takeBluetoothChallenge(window, platform.posted[0].wParam);
        ASSERT_TRUE(challenge);
        EXPECT_EQ(challenge->params.device.address, phone);
        EXPECT_EQ(challenge->params.device.name, L"Galaxy \u00e9t\u00e9");
        EXPECT_EQ(challenge->params.method, AuthMethod::numericComparison);
        EXPECT_EQ(challenge->params.ioCapability, IoCapability::displayYesNo);
        EXPECT_EQ(challenge->params.requirements, 5u);
        EXPECT_EQ(challenge->params.numericValue, 86420u);
    }
}

TEST(SystemRecords, ResponseCarriesTheEchoedValueInTheRightField) {
    AuthenticationResponse compare{phone, AuthMethod::numericComparison, 123456, 0, false};
    BLUETOOTH_AUTHENTICATE_RESPONSE out = systemResponse(compare);
    EXPECT_EQ(out.bthAddressRemote.ullLong, phone);
    EXPECT_EQ(out.authMethod, BLUETOOTH_AUTHENTICATION_METHOD_NUMERIC_COMPARISON);
    EXPECT_EQ(out.numericCompInfo.NumericValue, 123456u);
    EXPECT_EQ(out.negativeResponse, 0);

    AuthenticationResponse notify{phone, AuthMethod::passkeyNotification, 0, 654321, true};
    out = systemResponse(notify);
    EXPECT_EQ(out.passkeyInfo.passkey, 654321u);
    EXPECT_EQ(out.negativeResponse, 1);

    AuthenticationResponse legacy{phone, AuthMethod::legacy, 0, 0, true};
    out = systemResponse(legacy);
    EXPECT_EQ(out.pinInfo.pinLength, 0);
    for (UCHAR byte : out.pinInfo.pin) EXPECT_EQ(byte, 0);
}

TEST(SystemRecords, DeviceNameIsBoundedBothWays) {
    BLUETOOTH_DEVICE_INFO info{};
    for (auto& c : info.szName) c = L'x';  // no terminator at all
    EXPECT_EQ(deviceRecord(info).name.size(), static_cast<std::size_t>(BLUETOOTH_MAX_NAME_SIZE));
    BluetoothDeviceRecord record;
    record.address = phone;
    record.authenticated = true;
    record.name.assign(1000, L'y');
    BLUETOOTH_DEVICE_INFO back = deviceInfo(record);
    EXPECT_EQ(back.dwSize, sizeof back);
    EXPECT_EQ(back.Address.ullLong, phone);
    EXPECT_TRUE(back.fAuthenticated);
    EXPECT_EQ(back.szName[BLUETOOTH_MAX_NAME_SIZE - 1], L'\0');
    EXPECT_EQ(wcslen(back.szName), static_cast<std::size_t>(BLUETOOTH_MAX_NAME_SIZE - 1));
}

}  // namespace
