// The access from the network, as the app drives it. The server's threads
// never touch the app: after each change the app publishes on the board a
// snapshot of what the page and the API read (entries, gateway, scan,
// incidents, devices, texts), and the actions asked from the network wait
// on the board until the app's own thread takes them (the board's waker
// posts one call on the scheduler, at most one at a time, so a flood of
// requests never grows the app's queue). An action goes through
// PowerCommands as the window's buttons do (the protected list, the address
// another device took), and its outcome and its follow-up's verdict are
// written back on the board, or a time-out's when they never come.
//
// Only the Korvane that leads the program folder serves (the planner, or the
// window when no planner runs): the others say where the page is. The lead
// and the settings file are looked at on each 10-second tick, so that the
// window serves once the planner has ended, a Korvane that lost the lead
// stops, and a change of the settings made by another Korvane of the folder
// is applied.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvane/app/access_store.h"
#include "korvane/app/app_context.h"
#include "korvane/app/follow_ups.h"
#include "korvane/app/network_map.h"
#include "korvane/app/planner.h"
#include "korvane/app/power_commands.h"
#include "korvane/app/scans.h"
#include "korvane/app/web_serving.h"
#include "korvane/app/webboard.h"

namespace korvane {

// An action's outcome is awaited this long (a group's computers get their
// commands one after the other), its follow-up's verdict this long after
// its follow-up is due.
inline constexpr int kWebOutcomeWait = 10 * 60 * 1000;
inline constexpr int kWebVerdictMargin = 3 * 60 * 1000;

// Where the page is served, as the preferences and the console tell it.
enum class WebServed {
    Off,        // the settings say off
    Here,       // this Korvane serves it
    Elsewhere,  // another Korvane of the folder leads, and serves it
    Refused,    // on, but not served: `problem` says why
};

struct WebAccessStatus {
    WebServed served = WebServed::Off;
    std::string address;      // the page's address to copy; empty when off
    std::string fingerprint;  // the certificate's, to compare with the browser's
    std::string text;         // French, one line, for the preferences and the console
};

class WebFeature {
  public:
    WebFeature(AppContext& ctx, const NetworkMap& map, FollowUps& followUps, Scans& scans,
               const Planner& planner, PowerCommands& power, WebServingMaker maker);
    ~WebFeature();
    WebFeature(const WebFeature&) = delete;
    WebFeature& operator=(const WebFeature&) = delete;

    // At the start, once in the program folder: the settings are read, and
    // the page served when this Korvane leads and they say on.
    void Start();
    // Each 10-second tick: the lead and the settings file looked at again,
    // the requests that a lost wake-up left taken.
    void Look();
    // At the exit: the server stops first, then the actions still waiting
    // are told that Korvane ended.
    void Stop();
    // After each change of what the page shows; `pollEnded` notes the
    // poll's time. Nothing is published when nothing changed.
    void Publish(bool pollEnded = false);

    WebBoard& Board() { return board_; }
    // The settings' one writer in this process; null before Start.
    AccessStore* Access() { return access_.get(); }
    WebAccessStatus Status() const;
    // The actions whose outcome or verdict is still awaited.
    std::size_t Waiting() const { return pending_.size(); }

  private:
    struct Pending {
        WebAction action = WebAction::WakeUp;
        std::string entry;
        bool outcomeKnown = false;
        bool verdictAwaited = false;
        TimerId timer = 0;  // the time-out of what is awaited now
    };

    void StopServing();
    void Drain();
    void Act(const ActionRequest& request);
    void OnOutcome(std::uint64_t id, const PowerOutcome& outcome);
    void OnVerdict(std::uint64_t id, const std::string& verdict);
    void OnTimeOut(std::uint64_t id);
    void Forget(std::uint64_t id);
    BoardSnapshot Build();
    void RefreshDevices(std::int64_t now);

    AppContext& ctx_;
    const NetworkMap& map_;
    FollowUps& followUps_;
    Scans& scans_;
    const Planner& planner_;
    PowerCommands& power_;
    WebServingMaker maker_;
    WebBoard board_;
    std::map<std::string, std::string> texts_;
    std::unique_ptr<AccessStore> access_;
    std::unique_ptr<WebServing> serving_;
    std::optional<WebAccessSettings> servedWith_;  // the settings the server started with
    Lead lead_ = Lead::Unavailable;
    std::string refusal_;  // why the page is not served, when it should be
    std::string told_;     // the latest status told in the console
    std::optional<std::int64_t> pollTime_;
    // The devices, made again when the record or the minute changed.
    std::vector<BoardDevice> devices_;
    std::optional<std::int64_t> devicesSweep_;
    std::size_t devicesCount_ = 0;
    std::int64_t devicesMinute_ = -1;
    std::map<std::uint64_t, Pending> pending_;
    std::atomic<bool> wakePending_{false};
    // Posted calls check it: they may run after this feature went.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool started_ = false;
};

}  // namespace korvane
