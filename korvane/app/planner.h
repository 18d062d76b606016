// The daily plan: each tick of TimerPlan runs the wake-ups and shutdowns due
// by the plan (plan.txt) through the buttons' own paths (PowerCommands: same
// scripts, follow-ups, incidents, refusals). Only the Korvane that leads the
// program folder runs it. The plan and the protected list are read again
// only when their files changed, and the map's hints show them.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "korvane/app/app_context.h"
#include "korvane/app/power_commands.h"
#include "korvane/core/filecache.h"
#include "korvane/core/schedule.h"

namespace korvane {

class Planner {
  public:
    // `acted` runs after a tick that gave planned commands.
    Planner(AppContext& ctx, PowerCommands& power, std::function<void()> acted)
        : ctx_(ctx), power_(power), acted_(std::move(acted)) {}

    // The first look only marks the start: what was planned earlier is not
    // caught up. Then a look every 15 s.
    void Start();
    void Stop();
    void Tick();  // TimerPlanTimer
    // The plan and the protected list, as the map and the commands use them
    // until the next reload. A plan that cannot be read runs nothing (its
    // error is given back).
    std::optional<std::string> Reload();
    const Schedules& Plan() const { return plan_; }
    const toolkit::TextList& Protected() const { return protected_; }
    // The on/off dialog's times for entry `name`; a time that does not parse
    // keeps the saved one and is told, and a plan that cannot be read is not
    // overwritten.
    void SaveTimes(const std::string& name, const std::string& wakeUp, const std::string& shutdown);

  private:
    bool Leads();
    void RunDue(const std::vector<DueAction>& due);

    AppContext& ctx_;
    PowerCommands& power_;
    std::function<void()> acted_;
    TimerId timer_ = 0;
    FileCache<Schedules> planFile_;
    FileCache<toolkit::TextList> protectedFile_;
    Schedules plan_;
    toolkit::TextList protected_;
    DailyTrigger trigger_;
    bool elsewhereTold_ = false;  // "another Korvane runs the plan", said once
};

}  // namespace korvane
