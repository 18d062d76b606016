// The on/off dialog of an entry: what it shows (the entry's addresses, its
// planned times, its SSH setting) and the SSH setting it saves (liste.ssh).
// Its times are saved by the plan (Planner::SaveTimes).
#pragma once

#include <optional>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/planner.h"

namespace korvane {

class EntryDialog {
  public:
    EntryDialog(AppContext& ctx, Planner& planner) : ctx_(ctx), planner_(planner) {}

    std::optional<EntryCard> Card(int entry);
    // False when nothing was saved; a user name refused is told.
    bool SaveSshSetting(int entry, bool overSsh, const std::string& user);

  private:
    void FillSshCard(const std::string& name, EntryCard& card);

    AppContext& ctx_;
    Planner& planner_;
};

}  // namespace korvane
