#include "korvane/app/journal.h"

#include "korvane/app/texts.h"
#include "korvane/core/mapgrid.h"
#include "tools.h"

namespace korvane {

// Only the folder's lead (folderlead.h) writes the history.
void Journal::Start() {
    history_ = std::make_unique<HistoryKeeper>(
        toolkit::ProgramDir(), [this] { return LookAtLead(ctx_.console) == Lead::Ours; });
    try {
        history_->Start(ctx_.NowSeconds());
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("historique", text::kHistory + std::string(error.what()));
    }
}

void Journal::Stop() {
    if (!history_) return;
    try {
        history_->Stop(ctx_.NowSeconds());
    } catch (const toolkit::FileError&) {
        // The next start marks the gap all the same.
    }
}

void Journal::Record() {
    if (!history_) return;
    const KrvVar& krv = ctx_.krv;
    std::vector<std::pair<std::string, bool>> states;
    for (std::size_t entry = 0; entry < krv.ManagedList.size(); ++entry) {
        const std::string& name = krv.ManagedList[entry];
        const std::string address = entry < krv.EntryIPs.size() ? krv.EntryIPs[entry] : "";
        states.emplace_back(name,
                            IsUp(poller_.States(), name, address) && !holders_.Displaced(name));
    }
    try {
        history_->Observe(ctx_.NowSeconds(), states);
    } catch (const toolkit::FileError& error) {
        ctx_.console.ReportProblem("historique", text::kHistory + std::string(error.what()));
        return;
    }
    ctx_.console.ProblemSolved("historique");
}

}  // namespace korvane
