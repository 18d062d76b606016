// The network map: what each cell shows, composed from what the features
// hold (the poll's states, the addresses another device took, the plan and
// the protected list, the gateway's state, the user's comments), so that no
// file is read while drawing. The comments are kept for the session only.
#pragma once

#include <map>
#include <string>

#include "korvane/app/address_holders.h"
#include "korvane/app/app_context.h"
#include "korvane/app/gateway.h"
#include "korvane/app/planner.h"
#include "korvane/app/poller.h"
#include "korvane/app/view.h"

namespace korvane {

class NetworkMap {
  public:
    NetworkMap(AppContext& ctx, const Poller& poller, const AddressHolders& holders,
               const Planner& planner, const Gateway& gateway)
        : ctx_(ctx), poller_(poller), holders_(holders), planner_(planner), gateway_(gateway) {}

    // Redraw_network: every entry's address again, then the map.
    void Redraw();
    // The next drawing makes every control again (the entries or the
    // number per row changed).
    void RebuildNext() { rebuild_ = true; }
    const MapState& State() const { return map_; }

    std::string CommentOf(const std::string& name) const;
    void SetComment(const std::string& name, const std::string& text);
    // The comment follows its entry under a new name.
    void MoveComment(const std::string& oldName, const std::string& newName);

  private:
    MapEntry CellOf(std::size_t entry) const;
    std::string HintOf(const std::string& name) const;

    AppContext& ctx_;
    const Poller& poller_;
    const AddressHolders& holders_;
    const Planner& planner_;
    const Gateway& gateway_;
    MapState map_;
    bool rebuild_ = false;
    std::map<std::string, std::string> comments_;  // each entry's comment, for the session
};

}  // namespace korvane
