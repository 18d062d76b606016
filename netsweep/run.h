// One netsweep run: the run marker, the local network, the sweep, the names,
// the NetBIOS cache and the ARP table merged into the discovery lists, each
// step writing its French console lines in order.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "network.h"
#include "utils.h"

namespace netsweep {

// Exit codes.
inline constexpr int kExitDone = 0;       // a completed run, or a fresh marker
inline constexpr int kExitFileError = 1;  // a file could not be read or written

// A marker younger than this (0.01 day) belongs to a run still going.
inline constexpr std::chrono::seconds kMarkerLifetime{864};
// A marker dated further ahead than this was written before the clock went
// back: it says nothing of a run now, and must not block runs until the clock
// catches up with it.
inline constexpr std::chrono::seconds kMarkerClockSlack{60};

// True when a marker written at `written` still blocks a run starting at `now`.
bool MarkerBlocks(std::chrono::system_clock::time_point written,
                  std::chrono::system_clock::time_point now);

// The addresses a sweep probes, in order: the first two numbers of `network`
// with their dots, then for each third number t from that of `network` to
// that of `broadcast`, t "." h for h from 1 to 254. Empty unless both texts
// are dotted addresses.
std::vector<std::string> SweepAddresses(const std::string& network, const std::string& broadcast);

// The whole run. `args` are the command-line arguments after the program
// name; only the first is looked at ("noscan" skips the sweep). Console lines
// go to `console`, a failure's one French line to `errors`. The lists live
// in the program folder (toolkit::ProgramDir()); "krv.ini" and "ipactive" in
// the current folder. Returns the exit code.
int RunNetsweep(const std::vector<std::string>& args, Network& network, std::ostream& console,
                std::ostream& errors);

}  // namespace netsweep
