// The requests to Korvane's scripts: each poll, check and power report owns
// a slot of the scratch folder (its script, result, errors and marker
// files), numbered by PingSlot, and a timer that looks at the slot's marker
// until the script has made it writable again. The single-host checks of
// the follow-ups (ExecPING_host) start here.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/core/polling.h"

namespace korvane {

class Requests {
  public:
    using Handler = std::function<void(int slot)>;

    explicit Requests(AppContext& ctx) : ctx_(ctx) {}

    // The next slot's files, its marker armed and what an older request of
    // the slot left gone. Throws FileError, ScratchError.
    SlotFiles Arm();
    // After the script started: the slot's timer calls `handler` every
    // `interval` ms; the next request takes the next slot.
    int Watch(int interval, const Handler& handler);
    // The slot's files once its script has made the marker writable again,
    // its timer then let go; nothing while the script runs.
    std::optional<SlotFiles> Finish(int slot);
    void Release(int slot);
    void ReleaseAll();
    bool Pending() const;

    // Writes and starts the check script of `host` in a new slot, whose
    // handler then runs at every tick of the slot's timer until it releases it.
    void ExecPING_host(const std::string& host, const Handler& handler);

  private:
    void StartTimer(int slot, int interval, const Handler& handler);

    AppContext& ctx_;
    std::array<TimerId, 256> timers_{};  // the request timer of each slot
};

}  // namespace korvane
