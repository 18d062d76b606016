// ICMP echo probe: does a given computer answer an echo request right now?
// Nothing here raises an error or prints anything.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

// Four bytes in network order: the first number of the dotted text first.
using IPv4 = std::array<std::uint8_t, 4>;

inline constexpr std::chrono::milliseconds kEchoTimeout{10};

// A dotted IPv4 text is converted directly; any other text goes to the
// resolver. 0.0.0.0 when the text cannot be resolved.
IPv4 HostToIPv4(std::string_view text);
std::string ToDotted(const IPv4& address);

// True when an echo reply, or an ICMP error about the request (a router
// reporting the host unreachable), came back within the time-out. False for
// 0.0.0.0, for an unresolvable text and when no ICMP socket can be had.
bool IcmpProbe(std::string_view text);

// False when no ICMP socket can be opened (neither the datagram socket that
// net.ipv4.ping_group_range may allow nor a raw one): every probe would then
// answer "no" whatever the hosts, which a caller may want to tell apart.
bool CanProbe();

// Probes many hosts at once: requests go out as fast as the neighbour table
// allows (a window of requests in flight, paced for large sweeps) and answers
// are collected until each request's own deadline (its send time + timeout).
// The verdict per host is the single probe's; results are in input order.
std::vector<bool> IcmpProbeMany(const std::vector<std::string>& texts,
                                std::chrono::milliseconds timeout = kEchoTimeout);
std::vector<bool> IcmpProbeAddresses(const std::vector<IPv4>& addresses,
                                     std::chrono::milliseconds timeout = kEchoTimeout);

// Ports that a running computer commonly serves, or refuses with a reset:
// file sharing (445), NetBIOS sessions (139), Windows' RPC (135), remote
// desktop (3389), ssh (22).
inline constexpr std::array<std::uint16_t, 5> kComputerPorts{445, 139, 135, 3389, 22};

// Is each computer on? The poll's probe (hostping, and through it the
// follow-up checks). Every host gets one echo request, all at once; a host
// still silent after a quarter of `window` gets a second request, since one
// lost datagram (Wi-Fi, a busy switch) must not turn it off, and TCP
// connections to kComputerPorts, since a firewall that drops pings (Windows'
// by default) must not either: a connection accepted or refused with a reset
// proves it on. Each verdict is due within `window` of the host's first
// request, so a host that stays silent costs no more than before. Results
// are in input order; 0.0.0.0 is false.
std::vector<bool> ProbeComputers(const std::vector<IPv4>& addresses,
                                 std::chrono::milliseconds window);

}  // namespace toolkit
