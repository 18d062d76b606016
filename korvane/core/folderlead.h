// Several Korvanes may share a program folder: a window opened beside
// "korvane --planificateur". One of them leads: it runs the plan and writes
// the history of states; the others show the map and read. Two writers would
// cut each other's states short and turn the journal over twice; two plan
// runners would run each action twice.
#pragma once

#include <string>

namespace korvane {

// The lead is an exclusive lock on this file of the program folder, which
// the system ends with its process, however it ends.
inline constexpr const char* kLeadLockFile = "planning.lck";

enum class Lead {
    Ours,         // this process leads
    Elsewhere,    // another Korvane leads
    Unavailable,  // nobody can: the lock file cannot be taken (`problem` says why)
};
struct FolderLead {
    Lead lead = Lead::Unavailable;
    // In French, naming the file, the cause and the remedy; empty unless
    // Unavailable.
    std::string problem;
    bool Ours() const { return lead == Lead::Ours; }
};

// Whether this process leads the folder's Korvanes, taking the lead when
// nobody holds it: the others ask again at each look, and the first to ask
// once the lead has gone takes over. Held until the process ends, or until
// the lock file is deleted or replaced: the first Korvane to look then takes
// the new file, and the one that held the old one gives way.
FolderLead TakeFolderLead(const std::string& programDir);

}  // namespace korvane
