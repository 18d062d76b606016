// The gateway's probe, away from the drawing path: it runs on a thread of
// its own while the window goes on, and its answer is picked up at a later
// tick of the app's loop.
#pragma once

#include <future>
#include <optional>
#include <string>

namespace korvane {

class GatewayProbe {
  public:
    explicit GatewayProbe(const std::string& address);
    // Waits for a probe still running (at most its time-out).
    ~GatewayProbe() = default;
    // The answer once the probe has ended, and then only once.
    std::optional<bool> TakeResult();

  private:
    std::future<bool> answer_;
};

}  // namespace korvane
