// The discovery lists of one netsweep run and their update rules: how
// "liste.ip", "liste.mac" and "liste.ip.discover" are loaded, looked up and
// merged with what the network said. No network and no console here: the
// rules take the resolved names from their caller and write their console
// lines to the stream they are given.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "utils.h"

namespace netsweep {

using toolkit::KeyedLines;
using toolkit::NamedLines;
using toolkit::TextList;

// Trimmed (blanks and control characters), ASCII letters upper-cased, every
// ":" replaced by "-".
std::string NormalizeMac(std::string_view text);

// True for six two-digit hexadecimal bytes joined by "-" or ":".
bool IsMacText(std::string_view text);

// "liste.ip" with every line lower-cased; "liste.mac" with every line
// normalised. Both throw toolkit::FileError.
TextList LoadListeIP(const std::string& path);
TextList LoadListeMAC(const std::string& path);

// Whether a name from the network (or from a list a run wrote) may stand in
// the lists: a text that could never name a managed entry (".", "..lan",
// "-rf") would only be offered for enrolment and refused there, so it counts
// as no name.
bool IsUsableName(std::string_view name);
// A name the DNS gives an address: the whole name when usable; when only its
// ending makes it unusable ("pc1.example.com" reads as a program on
// Windows), its first label, which names the computer; else none.
std::string UsableDnsName(std::string_view name);

// The ip2name entries of the "liste.ip" lines: each line trimmed and split at
// its first space gives address "=" name. A line without a name or without an
// address gives none: an entry without a name would find, and overwrite, any
// line of the list. Nor does a line whose name is not usable.
TextList Ip2NameOf(const TextList& listeIP);

// The lines of "liste.ip.discover" whose name (after "=") is usable: a line
// that an earlier run took from the network before names were checked would
// otherwise be offered for good.
TextList UsableDiscoverLines(const TextList& lines);

// The lists of one run, with the line indexes the look-ups leave behind.
struct DiscoveryLists {
    NamedLines ListeIP;   // name " " address
    NamedLines ListeMAC;  // name " " MAC
    KeyedLines ip2name;   // address "=" name, duplicates possible
    TextList ip2mac;      // address "=" MAC
    toolkit::SortedTextList ListeDiscover;
    std::size_t ipIndex = 0;
    std::size_t macIndex = 0;

    // The look-up rule of every name-keyed list (toolkit::IndexOfName): the
    // first line of ListeIP whose whole name field is the name, ASCII case
    // ignored; a name that is only part of a line ("pc" in "pc-salon ...", a
    // dot in every address) finds nothing. Gives the text after the line's
    // first space; ipIndex is that line's index (0 when none). An empty name
    // finds nothing.
    std::optional<std::string> IpByName(std::string_view name);
    // The same rule on ListeMAC, the MAC of the line; sets macIndex.
    std::optional<std::string> MacByName(std::string_view name);
    // First line of ListeMAC whose whole MAC field is the normalised MAC: the
    // text before its first space; sets macIndex. An empty MAC finds nothing.
    std::optional<std::string> NameByMac(std::string_view mac);

    // The name ip2name gives an address: the value of its first entry with
    // that address (case ignored); empty when there is none.
    std::string NameOf(std::string_view address) const;
};

// The addresses of ip2mac that another device took: the name ip2name gives
// the address has another MAC in ListeMAC (a router gave a departed
// computer's address to the next device that asked). Their ip2name entries
// are taken out, so that the run asks their names again and rules 4 and 5
// follow both computers; kept, the old name would stay on the address for
// good. In ip2mac's order.
std::vector<std::string> ForgetMovedNames(DiscoveryLists& lists);

// Update rule 4: each ip2name entry appended to ListeIP, or replacing the line
// of its name in place when the address moved. Writes "Ajout ip2name vers
// ListeIP : name address" before each look-up.
void MergeNamesIntoListeIP(DiscoveryLists& lists, std::ostream& console);

// Update rule 5: each ip2mac entry whose address `resolve` names goes into
// ListeMAC: the line of its MAC takes the name, then the line of its name
// takes the MAC, or a line is appended. Writes "Ajout ip2mac vers ListeMAC :
// name MAC" between the two.
using ResolveFunction = std::function<std::string(const std::string& address)>;
void MergeMacsIntoListeMAC(DiscoveryLists& lists, const ResolveFunction& resolve,
                           std::ostream& console);

// Update rule 6: every ip2name entry whose address's name is not managed
// (a line of `localGM`, case ignored) goes into ListeDiscover. Linear in the
// sizes of both lists.
void AddUnmanaged(DiscoveryLists& lists, const TextList& localGM);

}  // namespace netsweep
