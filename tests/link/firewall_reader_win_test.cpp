// The firewall reader under Wine: each rule's properties, as Windows hands them,
// become what the judgement reads; and the reading itself, which Wine cannot answer,
// ends in "unknown" within its time.

#include <windows.h>
#include <icftypes.h>

#include <gtest/gtest.h>

#include "link/firewall_reader_win.h"

namespace {

using namespace firewall;

// A rule as Windows' prompt writes it: every property at its documented "any" value
// ("*" addresses, interface types "All", no interfaces, no service).
RawRule promptRule() {
    RawRule raw;
    raw.enabled = true;
    raw.direction = NET_FW_RULE_DIR_IN;
    raw.action = NET_FW_ACTION_ALLOW;
    raw.profiles = NET_FW_PROFILE2_PRIVATE;
    raw.protocol = NET_FW_IP_PROTOCOL_TCP;
    raw.application = L"C:\\Tools\\TolvenaireAndroid.exe";
    raw.localPorts = L"*";
    raw.localAddresses = L"*";
    raw.remoteAddresses = L"*";
    raw.interfaceTypes = L"All";
    return raw;
}

TEST(FirewallReader, RulePropertiesAsWindowsGivesThem) {
    const Rule plain = ruleFrom(promptRule());
    EXPECT_TRUE(plain.enabled && plain.inbound && plain.allow && !plain.scoped && !plain.secured);
    EXPECT_EQ(plain.profiles, static_cast<std::uint32_t>(privateProfile));
    EXPECT_EQ(plain.program, L"C:\\Tools\\TolvenaireAndroid.exe");

    RawRule other = promptRule();
    other.direction = NET_FW_RULE_DIR_OUT;
    other.action = NET_FW_ACTION_BLOCK;
    other.enabled = false;
    other.secureFlags = 1;
    other.interfaceTypes = L"all";  // the keyword in any case
    const Rule converted = ruleFrom(other);
    EXPECT_TRUE(!converted.inbound && !converted.allow && !converted.enabled && converted.secured && !converted.scoped);

    // Narrowed by what only Windows can match against the phone.
    for (void (*narrow)(RawRule&) :
         {+[](RawRule& r) { r.remoteAddresses = L"LocalSubnet"; },
          +[](RawRule& r) { r.localAddresses = L"192.168.1.20"; }, +[](RawRule& r) { r.interfaceTypes = L"Wireless"; },
          +[](RawRule& r) { r.interfaces = true; }, +[](RawRule& r) { r.service = L"Spooler"; }}) {
        RawRule raw = promptRule();
        narrow(raw);
        EXPECT_TRUE(ruleFrom(raw).scoped);
    }
}

// Wine's firewall object answers E_NOTIMPL: the reading says nothing, and says it at once.
TEST(FirewallReader, UnderWineTheReadingEndsInUnknown) {
    for (const char* address : {"127.0.0.1", "127.0.0.77", "not an address"}) {
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(readFinding(address, 8765, 5000), Finding{}) << address;
        EXPECT_LT(GetTickCount64() - started, 5000u) << address;
    }
}

}  // namespace
