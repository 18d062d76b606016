// Korvane's shared state outside its windows: the inventory lists, the six
// settings of krv.ini, the counters, and the look-ups that turn a host name
// into an address and back. Standard C++ only, so it is tested without a
// window and builds where Qt is absent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "utils.h"

namespace korvane {

using toolkit::TextList;

// The six settings of krv.ini, with their defaults.
struct Settings {
    std::string pdc;
    std::string esu;
    int left = 100;
    int top = 100;
    int height = 300;
    int nbyrow = 3;
};

// Korvane manages at most 32 entries: more cells per row than that only make
// the window wider than any map.
inline constexpr int kMaxEntriesPerRow = 32;
// nbyrow as the map may use it: below 1 the default 3 (the map divides by
// it), above kMaxEntriesPerRow that maximum.
int ClampEntriesPerRow(int nbyrow);

inline constexpr const char* kSettingsFile = "krv.ini";
inline constexpr const char* kEntrySettingsFile = "settings.ini";

// Look-ups over the lines of liste.ip / liste.mac by the rule of
// toolkit::IndexOfName / IndexOfValue: only a whole name field (or, for
// FindName, a whole address field) is a hit, so pc1 never finds pc10's line
// and the gateway never finds a computer whose address begins with its own.
// The result is cut to 255 characters; an empty key finds nothing.
std::string FindIP(const TextList& ipList, std::string_view name);
std::string FindMAC(const TextList& macList, std::string_view name);
std::string FindName(const TextList& ipList, std::string_view address);

// A whole number as krv.ini holds it: optional sign and decimal digits that
// fit an int, nothing else.
bool ParseWholeNumber(std::string_view text, int& value);

// Settings from the lines of krv.ini (keys ignore case, first line wins).
// Missing keys and values that are not whole numbers take their default;
// nbyrow is clamped by ClampEntriesPerRow.
Settings ParseSettings(const TextList& lines);
// Exactly six lines, in the order pdc, esu, left, top, height, nbyrow.
TextList SettingsLines(const Settings& settings);
// Three lines per entry: the name, "bof", "bof".
TextList EntrySettingsLines(const TextList& managed, int lastEntry);

// Every list, setting and counter Korvane shares between its windows.
struct KrvVar {
    TextList ManagedList;   // localGM
    TextList IpList;        // liste.ip
    TextList MacList;       // liste.mac
    TextList DiscoverList;  // liste.ip.discover
    TextList PatchList;     // liste.patch
    TextList EntryIPs;      // liste.known at start, then one address per entry
    TextList LocalAddresses;
    TextList LocalMasks;
    TextList ShutdownIncidents;
    TextList WolIncidents;

    Settings settings;
    std::string OtherGroupName = "Autres";
    std::uint8_t PingSlot = 0;  // shared by every poll and check; wraps after 255
    std::uint8_t ScanTick = 0;  // Timer1 ticks; wraps after 255

    std::string FindIP(std::string_view name) const;
    std::string FindMAC(std::string_view name) const;
    std::string FindName(std::string_view address) const;

    // Reads krv.ini from the current folder; a missing file is created empty in
    // the program folder and every setting keeps its default. Throws FileError
    // when the file exists but cannot be read, or cannot be created.
    void LoadSettings();
    // Replaces ProgramDir + krv.ini atomically with the six lines, taking the
    // window's current geometry. Throws FileError; the old file is then intact.
    void SaveSettings(int left, int top, int height);
};

// Loads a list file when it exists, else creates it empty. Throws FileError.
TextList LoadOrCreateList(const std::string& path);

}  // namespace korvane
