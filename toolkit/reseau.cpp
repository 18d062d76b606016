#include "reseau.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/platform.h"
#include "raw_ping.h"
#include "tools.h"

namespace toolkit {

namespace {

using Octets = IPv4;

// The text after the first ":" (the whole line when there is none), cut to
// 255 characters, then trimmed.
std::string ValueAfterColon(std::string_view line) {
    const std::size_t colon = line.find(':');
    const std::size_t start = colon == std::string_view::npos ? 0 : colon + 1;
    return Trim(line.substr(start, kMaxFieldLength));
}

// A labelled line reads: blanks, the label, a dotted filler (" . . . "),
// ":", the value. A label counts only where its line starts, before the
// colon: a value that holds one (a computer named "Passerelle-Salon", a
// continued list of names) never stands for it.
bool HasLabel(std::string_view line, std::string_view label) {
    const std::size_t start = line.find_first_not_of(" \t");
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;  // then start is found too
    return line.substr(start, colon - start).starts_with(label);
}

// One pass: the first line labelled so gives the field; none leaves it.
void FillFromLabel(const TextList& lines, std::string_view label, std::string& field) {
    for (const auto& line : lines) {
        if (HasLabel(line, label)) {
            field = ValueAfterColon(line);
            return;
        }
    }
}

// A value continued on the next lines: blanks, then a value whose text
// before any ":" holds no blank (an IPv6 address has colons, a label blanks).
bool IsContinuation(std::string_view line) {
    if (line.empty() || (line.front() != ' ' && line.front() != '\t')) return false;
    const std::string value = Trim(line);
    return !value.empty() && value.substr(0, value.find(':')).find(' ') == std::string::npos;
}

// Windows 10 lists the IPv6 gateway on the "Passerelle" line and the IPv4
// one on the next: Korvane can neither probe nor open the IPv6 one, so the
// first IPv4 address among the line and its continuations is the gateway.
// With none, the listed value stands.
void FillGateway(const TextList& lines, std::string& gateway) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!HasLabel(lines[i], "Passerelle")) continue;
        gateway = ValueAfterColon(lines[i]);
        for (std::size_t next = i + 1;
             !IsDottedIPv4(gateway) && next < lines.size() && IsContinuation(lines[next]); ++next) {
            if (IsDottedIPv4(Trim(lines[next]))) gateway = Trim(lines[next]);
        }
        return;
    }
}

// The newer layout marks the IPv4 address "(préféré)" and prints the adapter's
// physical address and description four and five lines above it.
void FillFromIPv4Line(const TextList& lines, host_params& params) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!Contains(line, "(pr") || !HasLabel(line, "Adresse IPv4")) continue;
        const std::size_t colon = line.find(':');
        const std::size_t start = colon == std::string_view::npos ? 0 : colon + 1;
        const std::size_t paren = line.find('(');
        params.address = paren < start ? std::string() : Trim(line.substr(start, paren - start));
        // Lines above the start of the listing do not exist: the earlier
        // passes' values stand.
        if (i >= 4) params.physicalAddress = ValueAfterColon(lines[i - 4]);
        if (i >= 5) params.description = ValueAfterColon(lines[i - 5]);
        return;
    }
}

// A missing or non-numeric number counts as 0; larger numbers keep their low 8 bits.
std::uint8_t OctetOf(std::string_view text) {
    const std::string number = Trim(text);
    if (number.empty()) return 0;
    unsigned value = 0;
    for (const char c : number) {
        if (c < '0' || c > '9') return 0;
        value = (value * 10 + static_cast<unsigned>(c - '0')) % 256;
    }
    return static_cast<std::uint8_t>(value);
}

Octets OctetsOf(std::string_view dotted) {
    Octets octets{};
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const std::size_t dot = dotted.find('.');
        octets[i] = OctetOf(dotted.substr(0, dot));
        dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
    }
    return octets;
}

// The four bytes in memory order are the dotted order, as in the system's table.
std::string DottedOfNetworkOrder(std::uint32_t address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::uint32_t NetworkOrderOf(std::string_view dotted) {
    const Octets octets = OctetsOf(dotted);
    std::uint32_t address = 0;
    std::memcpy(&address, octets.data(), sizeof address);
    return address;
}

std::optional<platform::HostEntry> LookUp(std::string_view dotted) {
    if (!IsDottedIPv4(dotted)) return std::nullopt;
    return platform::ReverseLookup(NetworkOrderOf(dotted));
}

bool IsDecimalNumber(std::string_view part) {
    if (part.empty() || part.size() > 3) return false;
    if (part.size() > 1 && part[0] == '0') return false;
    unsigned value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 255;
}

}  // namespace

// A scratch folder that cannot be used means the command cannot start: the
// caller then finds no output file, as with any other failed start.
int RunAndWait(const std::string& commandLine) {
    std::string workDir;
    try {
        workDir = ScratchDir();
    } catch (const ScratchError&) {
        return -1;
    }
    return platform::RunShellAndWait(commandLine, workDir);
}

TextList RunCaptured(const CapturedCommand& command) {
    platform::RemoveFile(command.outputFile);
    RunAndWait(command.line);
    try {
        TextList lines = LoadOutputLines(command.outputFile);
        platform::RemoveFile(command.outputFile);
        return lines;
    } catch (const FileError&) {
        platform::RemoveFile(command.outputFile);
        throw;
    }
}

host_params ReadIpConfig() {
    CapturedCommand command;
    try {
        command = IpConfigCommand(kHostOs, HostToolPaths());
    } catch (const ScratchError& error) {
        throw FileError(error.what());
    }
    return ParseIpConfig(RunCaptured(command));
}

host_params ParseIpConfig(const TextList& lines) {
    host_params params;
    FillFromLabel(lines, "Nom ", params.hostName);
    FillFromLabel(lines, "Description ", params.description);
    FillFromLabel(lines, "Adresse physique ", params.physicalAddress);
    FillFromLabel(lines, "Adresse IP", params.address);
    FillFromLabel(lines, "Masque ", params.mask);
    FillGateway(lines, params.gateway);
    FillFromLabel(lines, "Serveur DHCP", params.dhcpServer);
    FillFromLabel(lines, "Serveurs DNS", params.dnsServer);
    FillFromIPv4Line(lines, params);
    return params;
}

// Every row is kept, however many the system has: the lists grow with the table.
void LoadLocalAddressTable(TextList& localAddresses, TextList& localMasks) {
    localAddresses.clear();
    localMasks.clear();
    for (const auto& row : platform::LocalAddressRows()) {
        localAddresses.push_back(DottedOfNetworkOrder(row.address));
        localMasks.push_back(DottedOfNetworkOrder(row.mask));
    }
}

std::string NameByAddress(std::string_view dotted) {
    const auto entry = LookUp(dotted);
    return entry ? entry->name : std::string();
}

std::string AliasByAddress(std::string_view dotted) {
    const auto entry = LookUp(dotted);
    return entry && !entry->aliases.empty() ? entry->aliases.front() : std::string();
}

std::string NetworkAddress(std::string_view address, std::string_view mask) {
    const Octets a = OctetsOf(address), m = OctetsOf(mask);
    Octets result{};
    for (std::size_t i = 0; i < result.size(); ++i) result[i] = a[i] & m[i];
    return ToDotted(result);
}

std::string BroadcastAddress(std::string_view address, std::string_view mask) {
    const Octets a = OctetsOf(address), m = OctetsOf(mask);
    Octets result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<std::uint8_t>(a[i] | static_cast<std::uint8_t>(~m[i]));
    }
    return ToDotted(result);
}

std::string ShortHostName(std::string_view name) {
    return std::string(name.substr(0, name.find('.')));
}

bool IsDottedIPv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos)) return false;
        if (!IsDecimalNumber(text.substr(0, dot))) return false;
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
    return true;
}

bool IsPlainHostName(std::string_view text) {
    const auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    };
    return !text.empty() && text.size() <= kMaxFieldLength &&
           std::all_of(text.begin(), text.end(), plain);
}

AddressScope ScopeOfAddress(const IPv4& address, const std::vector<platform::AddressRow>& local) {
    const std::uint8_t first = address[0];
    if (first == 0) return AddressScope::ThisNetwork;
    if (first == 127) return AddressScope::Loopback;
    if (first >= 224 && first < 240) return AddressScope::Multicast;
    if (first >= 240) return AddressScope::Reserved;
    std::uint32_t value = 0;  // network order, as the rows
    std::memcpy(&value, address.data(), sizeof value);
    for (const auto& row : local) {
        if (row.address == value) return AddressScope::Own;
    }
    for (const auto& row : local) {
        // A /31 or /32 network has no broadcast address: its other address
        // is the computer at the far end (RFC 3021).
        const std::uint32_t hostBits = ~row.mask;
        if (std::popcount(hostBits) > 1 && (row.address | hostBits) == value)
            return AddressScope::Broadcast;
    }
    return AddressScope::Computer;
}

std::optional<AddressScope> ScopeOfAddress(std::string_view dotted) {
    if (!IsDottedIPv4(dotted)) return std::nullopt;
    return ScopeOfAddress(OctetsOf(dotted), platform::LocalAddressRows());
}

}  // namespace toolkit
