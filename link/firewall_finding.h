#pragma once

// Whether Windows' firewall lets a phone reach the link, judged from a description
// of the firewall's state and of the shared network. Windows fills the description
// in (firewall_reader_win.cpp); the judgement is platform-free so that it can be
// checked on rule sets as Windows creates them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace firewall {

// The firewall's profiles as bits, with Windows' own values (NET_FW_PROFILE2_*).
enum Profile : std::uint32_t { domainProfile = 1, privateProfile = 2, publicProfile = 4 };
inline constexpr std::uint32_t everyProfile = 0x7FFFFFFF;
// IP protocol numbers as the rules hold them; 256 is "any".
inline constexpr int tcp = 6;
inline constexpr int anyProtocol = 256;

// One rule as far as the judgement needs it.
struct Rule {
    bool enabled = true;
    bool inbound = true;
    bool allow = true;
    std::uint32_t profiles = everyProfile;
    int protocol = anyProtocol;
    std::wstring program;     // full path, may hold %VARIABLES%; empty for any program
    std::wstring localPorts;  // "*" or empty for any; else numbers and ranges, "8765-8785,80"
    // Narrowed in a way that cannot be judged here: by remote address, interface,
    // interface type or service.
    bool scoped = false;
    // Security flags: such an allow rule may override a block rule (allow-bypass).
    bool secured = false;
};

// The profile of the shared network, as the firewall applies it.
struct ProfileState {
    bool enabled = true;
    bool blockAllInbound = false;
    bool defaultBlock = true;  // the default inbound action
};

struct Situation {
    std::uint32_t profile = publicProfile;  // the shared network's, one bit
    ProfileState state;
    std::vector<Rule> rules;
    // Group policy sets part of the firewall, or a third-party firewall is registered:
    // what the local rules say is not the whole story.
    bool managedElsewhere = false;
    std::wstring program;  // this program's full path
    std::uint16_t port = 0;
    // The value of an environment variable a rule's path names, if any.
    std::optional<std::wstring> (*variable)(const std::wstring& name) = nullptr;
};

enum class Verdict { unknown, allowed, blocked };
enum class Reason {
    none,
    blockAll,   // every incoming connection is blocked on this profile
    blockRule,  // a block rule covers this program or this port on this profile
    noRule,     // nothing allows the program and the default is to block
};

struct Finding {
    Verdict verdict = Verdict::unknown;
    Reason reason = Reason::none;
    std::uint32_t profile = 0;  // the profile judged (blocked findings)
    bool operator==(const Finding& other) const {
        return verdict == other.verdict && reason == other.reason && profile == other.profile;
    }
};

Finding judge(const Situation& situation);

}  // namespace firewall
