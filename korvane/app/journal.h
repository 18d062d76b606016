// The journal of states (historique): each poll's states of the entries,
// written by the Korvane that leads the program folder; the start and the
// exit mark its gaps. The energy report reads it.
#pragma once

#include <memory>

#include "korvane/app/address_holders.h"
#include "korvane/app/app_context.h"
#include "korvane/app/poller.h"
#include "korvane/core/history.h"

namespace korvane {

class Journal {
  public:
    Journal(AppContext& ctx, const Poller& poller, const AddressHolders& holders)
        : ctx_(ctx), poller_(poller), holders_(holders) {}

    void Start();
    void Stop();
    // The latest poll's states; an entry whose address another device held is off.
    void Record();

  private:
    AppContext& ctx_;
    const Poller& poller_;
    const AddressHolders& holders_;
    std::unique_ptr<HistoryKeeper> history_;
};

}  // namespace korvane
