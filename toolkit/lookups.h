// Name look-ups of many hosts at once under one deadline. The resolver may
// wait its full time-out (10 s with the usual resolv.conf) on a DNS server
// that never answers; a list of names must not cost that once per name. Each
// look-up runs on a worker thread; whatever has not finished when the
// deadline passes counts as not found, and its worker finishes on its own.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "raw_ping.h"

namespace toolkit {

// Forward look-ups as a Windows computer does them on its LAN: DNS and the
// hosts file first (HostToIPv4, a dotted address converted at once, without a
// worker), then a NetBIOS name query broadcast on the local networks for a
// name they do not know; 0.0.0.0 for a text not resolved by the deadline.
// Results are in input order.
std::vector<IPv4> HostsToIPv4(const std::vector<std::string>& texts,
                              std::chrono::milliseconds deadline);

// Reverse look-ups of dotted addresses; nullopt for no entry, for a text that
// is not a dotted address, and for a look-up not finished by the deadline.
std::vector<std::optional<platform::HostEntry>> ReverseLookups(
    const std::vector<std::string>& dotted, std::chrono::milliseconds deadline);

}  // namespace toolkit
