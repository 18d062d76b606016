#include "korvane/app/app_context.h"

#include <chrono>

#include "korvane/core/export.h"
#include "tools.h"

namespace korvane {

std::int64_t AppContext::NowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(clock.Now().time_since_epoch()).count();
}

std::string AppContext::EntryName(int entry) const {
    const auto index = static_cast<std::size_t>(entry);
    return entry >= 0 && index < krv.ManagedList.size() ? krv.ManagedList[index] : "";
}

toolkit::TextList& IncidentsOf(KrvVar& krv, FollowKind kind) {
    return kind == FollowKind::WakeUp ? krv.WolIncidents : krv.ShutdownIncidents;
}

void OpenSavedReport(Console& console, const std::string& path) {
    if (OpenReport(toolkit::kHostOs, path) != Opener::None) return;
    console.Status("« " + path + " » est enregistré, mais aucun programme n'a pu l'ouvrir.");
}

Lead LookAtLead(Console& console) {
    const FolderLead lead = TakeFolderLead(toolkit::ProgramDir());
    if (lead.lead == Lead::Unavailable) {
        console.ReportProblem(kLeadLockFile, lead.problem);
    } else {
        console.ProblemSolved(kLeadLockFile);
    }
    return lead.lead;
}

}  // namespace korvane
