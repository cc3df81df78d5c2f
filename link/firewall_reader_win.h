#pragma once

// Windows build only: what Windows' firewall and network list say about the link,
// read through INetFwPolicy2 and INetworkListManager (any user may read both).

#include <cstdint>
#include <string>

#include "link/firewall_finding.h"

namespace firewall {

// One rule's properties as INetFwRule gives them; the conversion below is the
// reader's one judgement of its own.
struct RawRule {
    bool enabled = false;
    long direction = 0;  // NET_FW_RULE_DIR_*
    long action = 0;     // NET_FW_ACTION_*
    long profiles = 0;   // NET_FW_PROFILE2_* bits
    long protocol = 0;
    long secureFlags = 0;     // INetFwRule3, 0 where absent
    bool interfaces = false;  // a list of interfaces is set
    std::wstring application, localPorts, localAddresses, remoteAddresses, interfaceTypes, service;
};

Rule ruleFrom(const RawRule& raw);

// The finding for a link on `address` (IPv4, dotted) and `port`: unknown whenever
// anything cannot be read, or once the reading has taken `limitMs`. Blocks while it
// reads (a PC may hold a thousand rules): call it off the interface thread, which
// must have no COM apartment of its own yet. Raises only std::bad_alloc.
Finding readFinding(const std::string& address, std::uint16_t port, std::uint64_t limitMs);

}  // namespace firewall
