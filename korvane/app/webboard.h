// The board between Korvane's app thread and the threads of the web server:
// the server never calls the app. The app publishes, after each change, an
// immutable snapshot of everything the page and the API read; the server
// answers reads from the latest one. An action asked from the network (ON,
// OFF, Redémarrer, Tester l'accès) is queued here; the app takes the queue on
// its own thread (its scheduler's), acts as its window would, and writes back
// the action's progress, which the server reads by the action's id. Every
// list is bounded, so a flood of requests costs memory it can count, and
// never a poll's time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utils.h"

namespace korvane {

// One entry of the map, as the API shows it.
struct BoardEntry {
    std::string name;
    std::string address;
    std::string mac;
    bool on = false;
    bool addressTaken = false;  // another device answered at its address
    bool isProtected = false;   // on the list of "Ne jamais éteindre..."
    // The next planned action: "allumage" or "arret", and when (UTC seconds).
    std::string nextAction;
    std::optional<std::int64_t> nextActionTime;
    std::string comment;
    bool operator==(const BoardEntry&) const = default;
};

struct BoardGateway {
    std::string name;
    std::string address;
    bool up = false;
    bool operator==(const BoardGateway&) const = default;
};

// A follow-up's incident: "reveil" (Incidents WOL) or "arret" (Incidents
// shutdown, a restart's included).
struct BoardIncident {
    std::int64_t time = 0;
    std::string kind;
    std::string host;
    std::string verdict;
    std::string reason;
    bool operator==(const BoardIncident&) const = default;
};

struct BoardDevice {
    std::string mac;
    std::string address;
    std::string name;
    std::int64_t firstSeen = 0;
    std::int64_t lastSeen = 0;
    std::string previousAddress;
    std::optional<std::int64_t> movedAt;
    std::string mark;  // "nouveau", "déplacé (...)", "vu il y a ...", or empty
    bool operator==(const BoardDevice&) const = default;
};

inline constexpr std::size_t kBoardIncidents = 200;
inline constexpr std::size_t kBoardDevices = 2000;

struct BoardSnapshot {
    std::uint64_t version = 0;             // set by Publish: 1, 2, ...
    std::optional<std::int64_t> pollTime;  // the latest poll shown on the map
    std::vector<BoardEntry> entries;
    BoardGateway gateway;
    bool scanning = false;
    std::optional<std::int64_t> lastScan;
    std::vector<BoardIncident> incidents;  // newest last, at most kBoardIncidents
    std::vector<BoardDevice> devices;      // at most kBoardDevices
    // The French texts of the page, by key (app/webtexts.h).
    std::map<std::string, std::string> texts;
    // The entries the energy report may name, and where its journal lies.
    std::string programDir;

    bool operator==(const BoardSnapshot&) const = default;

    // Exact lookup, letter case included: a name from the network only ever
    // finds an entry that is there, never builds anything.
    const BoardEntry* Find(std::string_view name) const;
};

enum class WebAction { WakeUp, Shutdown, Restart, TestAccess };
enum class ActionState { Queued, Running, Done, Refused, Failed };

// "on", "off", "redemarrer", "tester"; and back.
const char* ActionWord(WebAction action);
std::optional<WebAction> ParseActionWord(std::string_view word);
// "en_attente", "en_cours", "faite", "refusee", "echec".
const char* StateWord(ActionState state);

struct ActionRequest {
    std::uint64_t id = 0;
    WebAction action = WebAction::WakeUp;
    std::string entry;
    std::string requester;  // "administrateur", or the token's or user's name
};

struct ActionProgress {
    std::uint64_t id = 0;
    WebAction action = WebAction::WakeUp;
    std::string entry;
    std::string requester;
    ActionState state = ActionState::Queued;
    std::string message;   // French: the refusal, the failure, the report
    std::string followUp;  // the follow-up's verdict five minutes on; empty until then
    std::int64_t requested = 0;
    std::int64_t updated = 0;
};

class WebBoard {
  public:
    // At most `maxQueued` actions wait for the app, and the progress of the
    // latest `maxTracked` actions is kept.
    explicit WebBoard(std::size_t maxQueued = 32, std::size_t maxTracked = 256);

    // --- the app's thread ---
    void Publish(BoardSnapshot snapshot);
    // Every queued action, oldest first; their state becomes Running.
    std::vector<ActionRequest> TakeRequests(std::int64_t now);
    // The outcome of an action; an unknown (forgotten) id is ignored.
    void Finish(std::uint64_t id, ActionState state, const std::string& message, std::int64_t now);
    void FollowUp(std::uint64_t id, const std::string& verdict, std::int64_t now);
    // Called on the server's thread after an action was queued, so that the
    // window layer can post a call to TakeRequests on the app's thread (a
    // queued Qt call, a Win32 message); none by default (the app then looks
    // at its poll's tick).
    void SetWaker(std::function<void()> waker);

    // --- the server's threads ---
    std::shared_ptr<const BoardSnapshot> Snapshot() const;
    // The new action's id; nothing when the queue is full.
    std::optional<std::uint64_t> Request(WebAction action, const std::string& entry,
                                         const std::string& requester, std::int64_t now);
    std::optional<ActionProgress> Progress(std::uint64_t id) const;

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<const BoardSnapshot> snapshot_;
    std::deque<ActionRequest> queue_;
    std::map<std::uint64_t, ActionProgress> progress_;
    std::uint64_t nextId_ = 1;
    std::uint64_t nextVersion_ = 1;
    std::size_t maxQueued_;
    std::size_t maxTracked_;
    std::function<void()> waker_;
};

}  // namespace korvane
