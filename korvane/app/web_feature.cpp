#include "korvane/app/web_feature.h"

#include <algorithm>
#include <tuple>

#include "korvane/app/texts.h"
#include "korvane/app/webtexts.h"
#include "korvane/core/devicemarks.h"
#include "korvane/core/schedule.h"
#include "tools.h"

namespace korvane {

namespace {

PowerAction ToPower(WebAction action) {
    switch (action) {
        case WebAction::Shutdown:
            return PowerAction::Shutdown;
        case WebAction::Restart:
            return PowerAction::Restart;
        case WebAction::TestAccess:
            return PowerAction::TestAccess;
        case WebAction::WakeUp:
            break;
    }
    return PowerAction::WakeUp;
}

// As the console log names what was asked.
const char* ActionText(WebAction action) {
    switch (action) {
        case WebAction::Shutdown:
            return "arrêt";
        case WebAction::Restart:
            return "redémarrage";
        case WebAction::TestAccess:
            return "test de l'accès";
        case WebAction::WakeUp:
            break;
    }
    return "allumage";
}

// The settings a running server was started with; a change of any of them
// starts it again (a new password ends every session).
auto ServedPart(const WebAccessSettings& s) {
    return std::tie(s.enabled, s.port, s.password, s.allowedHosts, s.tls, s.certificateFile,
                    s.keyFile);
}

// The name exactly as the map holds it, letter case included, as the
// snapshot's lookup finds it.
bool OnTheMap(const toolkit::TextList& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

WebFeature::WebFeature(AppContext& ctx, const NetworkMap& map, FollowUps& followUps, Scans& scans,
                       const Planner& planner, PowerCommands& power, WebServingMaker maker)
    : ctx_(ctx),
      map_(map),
      followUps_(followUps),
      scans_(scans),
      planner_(planner),
      power_(power),
      maker_(std::move(maker)),
      texts_(text::WebTexts()),
      told_(text::kWebAccessOff) {}

WebFeature::~WebFeature() {
    // The server's threads read the board and call the waker: they end first.
    if (serving_) serving_->Stop();
    board_.SetWaker({});
}

void WebFeature::Start() {
    if (started_) return;
    started_ = true;
    const std::string dir = toolkit::ProgramDir();
    access_ = std::make_unique<AccessStore>(dir);
    if (maker_) serving_ = maker_(dir, board_, *access_, ctx_.clock);
    // Called on a server's thread: one call posted at a time, whatever the
    // number of requests, and none that could run into a feature gone.
    board_.SetWaker([this, alive = std::weak_ptr<bool>(alive_)] {
        if (wakePending_.exchange(true)) return;
        ctx_.scheduler.Post([this, alive] {
            if (!alive.expired()) Drain();
        });
    });
    Publish();
    Look();
}

void WebFeature::Stop() {
    if (!started_) return;
    started_ = false;
    if (serving_ && serving_->Running()) StopServing();
    board_.SetWaker({});
    const std::int64_t now = ctx_.NowSeconds();
    for (auto& [id, pending] : pending_) {
        ctx_.timers.Cancel(pending.timer);
        if (!pending.outcomeKnown) board_.Finish(id, ActionState::Failed, text::kWebEnded, now);
        if (pending.verdictAwaited) board_.FollowUp(id, text::kWebEndedVerdict, now);
    }
    pending_.clear();
}

void WebFeature::Look() {
    if (!started_) return;
    Drain();  // a request whose wake-up went astray waits no longer than a tick
    access_->Refresh();
    const WebAccessSettings settings = access_->Settings();
    // The lead is taken only for serving: an access that is off leaves it
    // to the plan and the journal.
    lead_ = settings.enabled ? LookAtLead(ctx_.console) : Lead::Unavailable;
    const bool wanted = serving_ && settings.enabled && lead_ == Lead::Ours;
    const bool running = serving_ && serving_->Running();
    if (running && (!wanted || ServedPart(*servedWith_) != ServedPart(settings))) StopServing();
    if (wanted && !serving_->Running()) {
        refusal_ = serving_->Start();
        if (serving_->Running()) {
            servedWith_ = settings;
            refusal_.clear();
        }
    } else if (!wanted) {
        refusal_ = settings.enabled && lead_ == Lead::Unavailable ? text::kWebNoLead : "";
    }
    const WebAccessStatus status = Status();
    if (status.text != told_) {
        told_ = status.text;
        ctx_.console.Log(status.text);
        // A planner on a server has no preferences to show it: the console
        // gives what the browser's warning is checked against.
        if (status.served == WebServed::Here && !status.fingerprint.empty()) {
            ctx_.console.Log(text::kWebFingerprintTold + status.fingerprint);
        }
        if (status.served != WebServed::Off) ctx_.console.Status(status.text);
    }
}

void WebFeature::StopServing() {
    serving_->Stop();
    servedWith_.reset();
}

WebAccessStatus WebFeature::Status() const {
    WebAccessStatus status;
    if (!access_) {
        status.text = text::kWebAccessOff;
        return status;
    }
    const std::string problem = access_->Problem();
    const WebAccessSettings settings = access_->Settings();
    if (serving_ && (settings.enabled || !problem.empty())) {
        status.address = serving_->Address();
        status.fingerprint = serving_->Fingerprint();
    }
    if (!problem.empty()) {
        status.served = WebServed::Refused;
        status.text = problem;
    } else if (!settings.enabled) {
        status.text = text::kWebAccessOff;
    } else if (serving_ && serving_->Running()) {
        status.served = WebServed::Here;
        status.text = text::kWebServedHere + status.address;
    } else if (lead_ == Lead::Elsewhere) {
        status.served = WebServed::Elsewhere;
        status.text = text::kWebServedElsewhere + status.address;
    } else {
        status.served = WebServed::Refused;
        status.text = text::kWebNotServed + (refusal_.empty() ? text::kWebNoLead : refusal_);
    }
    return status;
}

// --- the actions ----------------------------------------------------------

void WebFeature::Drain() {
    wakePending_ = false;  // a request queued from now on posts again
    if (!started_) return;
    for (const ActionRequest& request : board_.TakeRequests(ctx_.NowSeconds())) Act(request);
}

void WebFeature::Act(const ActionRequest& request) {
    const std::uint64_t id = request.id;
    ctx_.console.Log(text::kWebRequested + request.requester + ") : " + ActionText(request.action) +
                     " de « " + request.entry + " »");
    // The snapshot the server answered from may be older than the map.
    if (!OnTheMap(ctx_.krv.ManagedList, request.entry)) {
        board_.Finish(id, ActionState::Refused, "« " + request.entry + " »" + text::kWebNotOnMap,
                      ctx_.NowSeconds());
        return;
    }
    Pending& pending = pending_[id];
    pending.action = request.action;
    pending.entry = request.entry;
    pending.timer = ctx_.timers.After(kWebOutcomeWait, [this, id] { OnTimeOut(id); });
    FollowUpDone followed;
    if (request.action != WebAction::TestAccess) {
        followed = [this, id](const std::string& verdict) { OnVerdict(id, verdict); };
    }
    power_.Run(
        ToPower(request.action), request.entry, CommandOrigin::Network,
        [this, id](const PowerOutcome& outcome) { OnOutcome(id, outcome); }, std::move(followed));
}

void WebFeature::OnOutcome(std::uint64_t id, const PowerOutcome& outcome) {
    const auto found = pending_.find(id);
    if (found == pending_.end() || found->second.outcomeKnown) return;
    Pending& pending = found->second;
    const ActionState state = !outcome.sent    ? ActionState::Refused
                              : outcome.failed ? ActionState::Failed
                                               : ActionState::Done;
    const std::string message =
        outcome.message.empty() && outcome.sent ? text::kWebSent : outcome.message;
    board_.Finish(id, state, message, ctx_.NowSeconds());
    pending.outcomeKnown = true;
    ctx_.timers.Cancel(pending.timer);
    // Sent, an ON, OFF or Redémarrer has a follow-up five minutes after it.
    if (!outcome.sent || pending.action == WebAction::TestAccess) {
        Forget(id);
        return;
    }
    pending.verdictAwaited = true;
    pending.timer =
        ctx_.timers.After(kFollowUpDelay + kWebVerdictMargin, [this, id] { OnTimeOut(id); });
}

void WebFeature::OnVerdict(std::uint64_t id, const std::string& verdict) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) return;
    board_.FollowUp(id, verdict, ctx_.NowSeconds());
    Publish();  // its incidents, on the page at once rather than at the next tick
    // A verdict before the outcome (a script slower than five minutes):
    // the outcome is still awaited.
    if (found->second.outcomeKnown) {
        Forget(id);
    } else {
        found->second.verdictAwaited = false;
    }
}

// The outcome or the verdict never came: Korvane's request slot was taken by
// newer ones, or the script never ended. The page learns it rather than
// waiting forever.
void WebFeature::OnTimeOut(std::uint64_t id) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) return;
    const std::int64_t now = ctx_.NowSeconds();
    const Pending& pending = found->second;
    if (!pending.outcomeKnown) board_.Finish(id, ActionState::Failed, text::kWebNoOutcome, now);
    if (pending.action != WebAction::TestAccess &&
        (pending.verdictAwaited || !pending.outcomeKnown))
        board_.FollowUp(id, text::kWebNoVerdict, now);
    ctx_.timers.Cancel(found->second.timer);  // the timer that ran is over; harmless
    pending_.erase(found);
}

void WebFeature::Forget(std::uint64_t id) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) return;
    ctx_.timers.Cancel(found->second.timer);
    pending_.erase(found);
}

// --- the snapshot -----------------------------------------------------------

void WebFeature::Publish(bool pollEnded) {
    if (pollEnded) pollTime_ = ctx_.NowSeconds();
    BoardSnapshot snapshot = Build();
    const std::shared_ptr<const BoardSnapshot> last = board_.Snapshot();
    snapshot.version = last->version;
    if (snapshot == *last) return;
    board_.Publish(std::move(snapshot));
}

BoardSnapshot WebFeature::Build() {
    const std::int64_t now = ctx_.NowSeconds();
    BoardSnapshot snapshot;
    snapshot.pollTime = pollTime_;
    const MapState& map = map_.State();
    const toolkit::TextList& names = ctx_.krv.ManagedList;
    const int nowMinute = LocalMinuteOf(ctx_.clock.Now()).minute;
    for (std::size_t i = 0; i < names.size(); ++i) {
        BoardEntry entry;
        entry.name = names[i];
        if (i < map.entries.size()) {
            const MapEntry& cell = map.entries[i];
            // An entry the map leaves out (at a server's address) is not shown.
            if (!cell.shown) continue;
            entry.on = cell.up;
            entry.addressTaken = cell.addressTaken;
            entry.isProtected = cell.isProtected;
        }
        entry.address = toolkit::Trim(ctx_.krv.FindIP(entry.name));
        entry.mac = toolkit::Trim(ctx_.krv.FindMAC(entry.name));
        if (const auto next =
                NextPlannedAction(ScheduleOf(planner_.Plan(), entry.name), nowMinute)) {
            entry.nextAction = next->action == PlannedAction::WakeUp ? "allumage" : "arret";
            entry.nextActionTime = now / 60 * 60 + static_cast<std::int64_t>(next->wait) * 60;
        }
        entry.comment = map_.CommentOf(entry.name);
        snapshot.entries.push_back(std::move(entry));
    }
    if (map.gateway.known) {
        snapshot.gateway = {map.gateway.name, map.gateway.address, map.gateway.up};
    }
    snapshot.scanning = scans_.Running();
    RefreshDevices(now);
    snapshot.lastScan = devicesSweep_;
    snapshot.devices = devices_;
    for (const RecordedIncident& recorded : followUps_.Recent()) {
        snapshot.incidents.push_back(
            {recorded.time, recorded.kind == FollowKind::WakeUp ? "reveil" : "arret",
             recorded.incident.host, recorded.incident.verdict, recorded.incident.reason});
    }
    snapshot.texts = texts_;
    snapshot.programDir = toolkit::ProgramDir();
    return snapshot;
}

// netsweep's record may hold tens of thousands of devices: they are made
// again only when it changed, or when a minute passed (the marks say "vu il
// y a ..."), the most recently seen first, as many as the board keeps.
void WebFeature::RefreshDevices(std::int64_t now) {
    const toolkit::DeviceRecord* record = scans_.DeviceRecordNow();
    if (record == nullptr) {
        devices_.clear();
        devicesSweep_.reset();
        devicesCount_ = 0;
        return;
    }
    const std::int64_t minute = now / 60;
    if (record->lastSweep == devicesSweep_ && record->devices.size() == devicesCount_ &&
        minute == devicesMinute_) {
        return;
    }
    devicesSweep_ = record->lastSweep;
    devicesCount_ = record->devices.size();
    devicesMinute_ = minute;
    std::vector<const toolkit::Device*> order;
    order.reserve(record->devices.size());
    for (const toolkit::Device& device : record->devices) order.push_back(&device);
    const std::size_t kept = std::min(order.size(), kBoardDevices);
    std::partial_sort(order.begin(), order.begin() + static_cast<long>(kept), order.end(),
                      [](const toolkit::Device* a, const toolkit::Device* b) {
                          return a->lastSeen > b->lastSeen;
                      });
    devices_.clear();
    for (std::size_t i = 0; i < kept; ++i) {
        const toolkit::Device& device = *order[i];
        devices_.push_back({device.mac, device.address, device.name, device.firstSeen,
                            device.lastSeen, device.previousAddress, device.movedAt,
                            DeviceMark(*record, device, now)});
    }
}

}  // namespace korvane
