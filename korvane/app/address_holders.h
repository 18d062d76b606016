// The addresses another device took: the router gave an entry's address to
// another device and liste.ip does not know yet. At each poll the neighbour
// table (which hostping keeps fresh) says who holds each entry's address; an
// entry whose address is held by another hardware address is shown off with
// the map's words for it, its state is not that device's, a shutdown is
// refused before anything is sent, and netsweep runs at once so that the
// lists catch up.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/scans.h"
#include "korvane/core/addressholder.h"

namespace korvane {

class AddressHolders {
  public:
    AddressHolders(AppContext& ctx, Scans& scans) : ctx_(ctx), scans_(scans) {}

    // After a poll: each entry's address, who holds it; news is told.
    void Look();
    // Asked again before a shutdown, so that the table names who holds the
    // address at this moment.
    std::optional<OtherHolder> BeforeShutdown(const std::string& computer);
    bool Displaced(const std::string& name) const { return displaced_.contains(name); }
    // The entries whose address another device held at the latest poll.
    const std::map<std::string, OtherHolder>& All() const { return displaced_; }

  private:
    AppContext& ctx_;
    Scans& scans_;
    std::map<std::string, OtherHolder> displaced_;
};

}  // namespace korvane
