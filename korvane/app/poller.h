// The poll: every 10 s a script runs hostping on the poll list (localIP, the
// managed entries' addresses); its request slot's timer reads the result,
// which becomes the states of the map and the journal (etats).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/requests.h"

namespace korvane {

class Poller {
  public:
    // `statesChanged` runs after each poll whose result replaced the states.
    Poller(AppContext& ctx, Requests& requests, std::function<void()> statesChanged)
        : ctx_(ctx), requests_(requests), statesChanged_(std::move(statesChanged)) {}

    // The states the previous run left (etats), until the first poll ends.
    void LoadStates();
    // localIP from the managed list and liste.ip, as the next poll reads it.
    void SavePollList();
    // A poll of the list file `listName` (localIP, or localGM at the start).
    void ExecPING_GM(const std::string& listName);
    // liste.ip and liste.mac as netsweep rewrote them; a list that cannot be
    // read now keeps what was read before.
    void ReloadDiscoveryLists();
    // The latest poll's result, as etats holds it.
    const toolkit::TextList& States() const { return states_; }

  private:
    void ReadPING_GM(int slot);

    AppContext& ctx_;
    Requests& requests_;
    std::function<void()> statesChanged_;
    toolkit::TextList states_;
    // Which poll each slot runs, so that an older result never replaces a newer one.
    std::array<std::uint64_t, 256> pollOrder_{};
    std::uint64_t pollsStarted_ = 0;
    std::uint64_t pollShown_ = 0;
};

}  // namespace korvane
