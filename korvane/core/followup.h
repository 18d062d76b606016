// The follow-up checks outside their window: five minutes after a power
// command every member of the entry's group file is pinged once (by the check
// script of the polling), and a member whose state contradicts the command
// becomes an incident line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "utils.h"

namespace korvane {

using toolkit::TextList;

// A restart's follow-up checks that the computer answers again; its
// incidents join the shutdown's.
enum class FollowKind { Shutdown, WakeUp, Restart };

inline constexpr const char* kNotStopped = "ne s'est pas arrêté";
inline constexpr const char* kNotStarted = "ne s'est pas mis en marche";
inline constexpr const char* kNotRestarted = "n'a pas redémarré";
inline constexpr const char* kUnknownReason = "raison inconnue";

struct Incident {
    std::string host;
    std::string verdict;
    std::string reason;
};

// The incident a check's output shows, or nullopt when the command took
// effect or the output holds no verdict.
//
// The verdict is the check script's own last line, host + "=up" or
// host + "=down", from ping's exit status: after a shutdown "=up" is an
// incident, after a wake-up "=down" is one. (Ping's text differs from one
// system and language to the next; its exit status does not.) The host is
// the one the ping header names between "sur" and "[" when the output has
// such a header, else the verdict line's. The reason is "raison inconnue",
// except for a wake-up whose ping never got to send (no header: the name did
// not resolve, the network is unreachable), where ping's first line says why.
std::optional<Incident> CheckIncident(FollowKind kind, const TextList& output);

// Whether the check's output ends with its verdict line; without one (the
// probe could not run) nothing can be told of the host.
bool HasVerdict(const TextList& output);

// Five quoted fields joined by ";", with a ";" after the last:
// "date";"time";"host";"verdict";"reason";
std::string IncidentLine(std::string_view date, std::string_view time, const Incident& incident);

// The local date in the user's short date format and the local time in the
// long time format, each read from the clock when called.
std::string ShortDate();
std::string LongTime();

// "followDownReport N" after a shutdown, "followupReport N" after a wake-up,
// "followRestartReport N" after a restart.
std::string ProgressLine(FollowKind kind, int slot);
// "shutdown.followup" (also a restart's) or "wol.followup", in the program folder.
const char* IncidentFileName(FollowKind kind);

// The hosts a group file lists: its lines as ListName reads them, blank
// lines left out.
TextList GroupMembers(const TextList& groupFile);

// The group file of an entry, opened by its bare name in the current folder
// (the program folder). Throws FileError, also when the name is not a valid
// entry name: such a name never becomes a path.
TextList LoadGroupFile(std::string_view entry);

}  // namespace korvane
