// The listings of the network tools as netsweep reads them: "nbtstat -a"
// (one address, or a list from netcmd), "nbtstat -c" and "arp -a". The
// readers take what the lines say; whether a name or an address is fit for
// the lists is the run's decision.
#pragma once

#include <string>
#include <vector>

#include "utils.h"

namespace netsweep {

using toolkit::TextList;

// "nbtstat -a": the name of a host is the text before the first "<" of the
// first line holding "UNIQUE", trimmed and lower-cased; empty when no line
// holds it. Later lines are not looked at.
std::string FirstUniqueName(const TextList& lines);

// The output of one command that asked several addresses: one listing per
// address, each starting at its adapter's line (the one just before the line
// holding "Adresse IP du nœud"), so that no adapter line is read as part of
// the listing before it. Other lines before the first adapter belong to no
// listing.
std::vector<TextList> SplitNodeListings(const TextList& lines);

// The name of one listing: FirstUniqueName of its lines after the "Adresse IP
// du nœud" line (of all its lines when it has none). The adapter's own name,
// above that line, is never a host's.
std::string NodeListingName(const TextList& listing);

struct CachedName {
    std::string address;
    std::string name;  // lower case
};
// "nbtstat -c": for each line holding "UNIQUE", the name before its first
// "<" (trimmed, lower-cased) and the first word of what follows "UNIQUE"
// (at most 255 characters, trimmed); that word is empty when nothing follows.
std::vector<CachedName> ReadNameCache(const TextList& lines);

struct ArpEntry {
    std::string address;
    std::string mac;  // normalised
};
// "arp -a": for each line holding "dynamique", the first word of the trimmed
// line and the normalised second word.
std::vector<ArpEntry> ReadArpTable(const TextList& lines);

}  // namespace netsweep
