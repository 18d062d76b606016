#include "korvane/core/headless_incidents.h"

#include <algorithm>
#include <cerrno>

#include "platform/append.h"
#include "platform/platform.h"

namespace korvane {
namespace {

// followup.h's lines begin with a quote and end with a quote and ";": one
// that does not was cut short.
bool IsWholeIncidentLine(const std::string& line) {
    return line.size() >= 3 && line.front() == '"' && line.ends_with("\";");
}

toolkit::TextList IncidentLinesOf(const std::string& path) {
    toolkit::TextList lines;
    if (!toolkit::platform::FileExists(path)) return lines;
    for (std::string& line : toolkit::LoadLines(path)) {
        if (IsWholeIncidentLine(line)) lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

void KeepUnseenIncident(const std::string& programDir, const std::string& line) {
    std::string oneLine = line;
    std::replace_if(
        oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    toolkit::platform::AppendLines(programDir + kUnseenIncidentsFile, oneLine + "\r\n");
}

toolkit::TextList UnseenIncidents(const std::string& programDir) {
    return IncidentLinesOf(programDir + kUnseenIncidentsFile);
}

toolkit::TextList TakeUnseenIncidents(const std::string& programDir) {
    const std::string unseen = programDir + kUnseenIncidentsFile;
    const std::string seen = programDir + kSeenIncidentsFile;
    if (!toolkit::platform::FileExists(unseen)) return {};
    if (!toolkit::platform::RenameOver(unseen, seen)) {
        throw toolkit::FileError("Impossible de renommer « " + unseen +
                                 " » : " + toolkit::SystemErrorText(errno));
    }
    return IncidentLinesOf(seen);
}

std::string IncidentsSinceStartText(std::size_t count) {
    if (count == 0) return {};
    return std::to_string(count) + (count == 1 ? " incident" : " incidents") +
           " depuis le dernier démarrage";
}

}  // namespace korvane
