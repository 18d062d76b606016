// Local network information: the adapter settings read from the ipconfig
// listing, the system's address table, reverse look-ups, address arithmetic.
// None of these raise network errors: a failed look-up is empty text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "raw_ping.h"
#include "tools.h"
#include "utils.h"

namespace toolkit {

// The local adapter settings, ten text fields in this order; all start empty.
struct host_params {
    std::string description;
    std::string address;
    std::string physicalAddress;
    std::string hostName;
    std::string mask;
    std::string gateway;
    std::string spare1;  // never filled
    std::string dhcpServer;
    std::string dnsServer;
    std::string spare2;  // never filled
};

// Runs a command line through the shell, hidden, with the scratch folder as
// working directory and the caller's standard streams, and waits for it
// without time limit. Returns the wait status (-1 when it could not start);
// no caller needs it. The line is passed whole whatever its length.
int RunAndWait(const std::string& commandLine);

// Runs a captured command (tools.h) and gives the lines of its output file,
// which is removed before the run (a leftover of an ended process given the
// same id is not this run's listing) and after it, read or not. Throws
// FileError when the output cannot be read: the command could not run, or
// the scratch folder cannot be used.
TextList RunCaptured(const CapturedCommand& command);

// Runs the ipconfig command (tools.h) and parses its output file.
// Throws FileError when the output file cannot be opened (an unusable scratch
// folder included: the command could not run, so there is no file).
host_params ReadIpConfig();
// The nine passes over the lines of an ipconfig /all listing (both layouts).
// A label counts only at the start of its line, before the colon.
host_params ParseIpConfig(const TextList& lines);

// The system's IPv4 address table, rows in interface order; the two lists
// are emptied first and always have the same length.
void LoadLocalAddressTable(TextList& localAddresses, TextList& localMasks);

// Reverse look-ups of a dotted address: the official name, the first alias.
// Empty text when nothing is found or the text is not a dotted address.
std::string NameByAddress(std::string_view dotted);
std::string AliasByAddress(std::string_view dotted);

// Per byte: address AND mask, address OR NOT mask. Each of the four numbers is
// taken as an 8-bit value; a missing or non-numeric number counts as 0.
std::string NetworkAddress(std::string_view address, std::string_view mask);
std::string BroadcastAddress(std::string_view address, std::string_view mask);

// The text before the first "."; the whole text when there is none.
std::string ShortHostName(std::string_view name);

// True for four decimal numbers 0-255 joined by ".", without leading zeros.
bool IsDottedIPv4(std::string_view text);

// True for a host name that cannot break a list line, a script or a file
// name: 1 to 255 ASCII letters, digits, ".", "-" and "_".
bool IsPlainHostName(std::string_view text);

// What an IPv4 address stands for, seen from this computer: one other
// computer, or an address that names none, or names this computer itself,
// and so must never be given what is meant for a computer of the LAN.
enum class AddressScope {
    Computer,
    ThisNetwork,  // 0.0.0.0/8: "this computer", or any address
    Loopback,     // 127.0.0.0/8
    Multicast,    // 224.0.0.0/4
    Reserved,     // 240.0.0.0/4, the limited broadcast 255.255.255.255 among them
    Broadcast,    // the broadcast address of one of this computer's networks
    Own,          // one of this computer's own addresses
};
// `local`: this computer's addresses and masks, as LocalAddressRows gives
// them; without them, only the first five scopes are told apart.
AddressScope ScopeOfAddress(const IPv4& address, const std::vector<platform::AddressRow>& local);
// The same for a dotted address, against the address table as it is now;
// nullopt for a text that is not one.
std::optional<AddressScope> ScopeOfAddress(std::string_view dotted);

}  // namespace toolkit
