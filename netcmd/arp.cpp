#include "arp.h"

#include <charconv>
#include <cstdint>
#include <sstream>

#include "layout.h"
#include "reseau.h"
#include "responder.h"

namespace netcmd {
namespace {

constexpr unsigned kCompleteFlag = 0x02;   // ATF_COM
constexpr unsigned kPermanentFlag = 0x04;  // ATF_PERM
constexpr std::size_t kColumnWidth = 22;

std::optional<unsigned> ParseFlags(std::string_view text) {
    if (!text.starts_with("0x")) return std::nullopt;
    text.remove_prefix(2);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string IndexHex(unsigned index) {
    std::ostringstream text;
    text << "0x" << std::hex << index;
    return text.str();
}

}  // namespace

std::vector<ArpEntry> ParseProcArp(const toolkit::TextList& lines) {
    std::vector<ArpEntry> entries;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string address, type, flagsText, macText, mask, device;
        if (!(in >> address >> type >> flagsText >> macText >> mask >> device)) continue;
        const auto flags = ParseFlags(flagsText);
        const auto mac = ParseMac(macText);
        if (!toolkit::IsDottedIPv4(address) || !flags || !mac || (*flags & kCompleteFlag) == 0 ||
            *mac == UnitId{}) {
            continue;
        }
        entries.push_back(
            {address, FormatHardwareAddress(*mac, false), device, (*flags & kPermanentFlag) != 0});
    }
    return entries;
}

toolkit::TextList FormatArpTable(const std::vector<ArpInterface>& interfaces,
                                 const std::vector<ArpEntry>& entries) {
    toolkit::TextList out;
    for (const ArpInterface& link : interfaces) {
        out.push_back("");
        out.push_back("Interface : " + link.address + " --- " + IndexHex(link.index));
        out.push_back("  Adresse Internet      Adresse physique      Type");
        for (const ArpEntry& entry : entries) {
            if (entry.device != link.name) continue;
            out.push_back("  " + PadRight(entry.address, kColumnWidth) +
                          PadRight(entry.mac, kColumnWidth) +
                          (entry.permanent ? "statique" : "dynamique"));
        }
    }
    return out;
}

}  // namespace netcmd
