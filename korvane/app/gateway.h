// The gateway's cell of the map: probed at each poll on a thread of its own
// (GatewayProbe), its picture changing when the answer differs; a click
// opens its page in the browser.
#pragma once

#include <functional>
#include <memory>

#include "korvane/app/app_context.h"

namespace korvane {

class GatewayProbe;

class Gateway {
  public:
    // `changed` runs when the gateway's state changed.
    Gateway(AppContext& ctx, std::function<void()> changed);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // A probe, unless one is still waiting for its answer.
    void Probe();
    // The probe waiting for an answer is let go (at the exit).
    void Stop();
    bool Up() const { return up_; }
    void OpenPage();  // routeurClick

  private:
    AppContext& ctx_;
    std::function<void()> changed_;
    std::unique_ptr<GatewayProbe> probe_;
    bool up_ = false;
};

}  // namespace korvane
