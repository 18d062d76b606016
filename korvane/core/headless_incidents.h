// The incidents a Korvane without its window (--planificateur) records, kept
// in the program folder until a window start takes them, so that the user
// learns of them: "3 incidents depuis le dernier démarrage". The run's own
// incident lists (ShutdownIncidents, WolIncidents) are not these.
//
// "incidents.non-vus" holds one incident line per line (followup.h's
// format), only ever appended to, one line in one write, flushed: a crash
// loses at most the line being written, and a line cut short is skipped.
// Taking them renames the file "incidents.vus", replacing the batch taken
// before, so the last batch seen can still be opened.
#pragma once

#include <cstddef>
#include <string>

#include "utils.h"

namespace korvane {

inline constexpr const char* kUnseenIncidentsFile = "incidents.non-vus";
inline constexpr const char* kSeenIncidentsFile = "incidents.vus";

// Appends one incident line to the store of `programDir` (with its trailing
// "/"). A line break inside it becomes a space. Throws FileError.
void KeepUnseenIncident(const std::string& programDir, const std::string& line);

// The incident lines waiting to be seen, in order; none when the store is
// missing. Throws FileError when it cannot be read.
toolkit::TextList UnseenIncidents(const std::string& programDir);

// Marks every waiting incident seen and returns them: the store becomes
// "incidents.vus" first, so an incident recorded meanwhile starts a new
// store and waits for the next start. Throws FileError; nothing is lost.
toolkit::TextList TakeUnseenIncidents(const std::string& programDir);

// "1 incident depuis le dernier démarrage", "3 incidents depuis le dernier
// démarrage"; empty for none.
std::string IncidentsSinceStartText(std::size_t count);

}  // namespace korvane
