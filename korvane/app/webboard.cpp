#include "korvane/app/webboard.h"

#include <utility>

namespace korvane {

const BoardEntry* BoardSnapshot::Find(std::string_view name) const {
    for (const BoardEntry& entry : entries) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

namespace {

struct ActionWordPair {
    WebAction action;
    const char* word;
};
constexpr ActionWordPair kActionWords[] = {{WebAction::WakeUp, "on"},
                                           {WebAction::Shutdown, "off"},
                                           {WebAction::Restart, "redemarrer"},
                                           {WebAction::TestAccess, "tester"}};

}  // namespace

const char* ActionWord(WebAction action) {
    for (const auto& pair : kActionWords) {
        if (pair.action == action) return pair.word;
    }
    return "";
}

std::optional<WebAction> ParseActionWord(std::string_view word) {
    for (const auto& pair : kActionWords) {
        if (word == pair.word) return pair.action;
    }
    return std::nullopt;
}

const char* StateWord(ActionState state) {
    switch (state) {
        case ActionState::Queued:
            return "en_attente";
        case ActionState::Running:
            return "en_cours";
        case ActionState::Done:
            return "faite";
        case ActionState::Refused:
            return "refusee";
        case ActionState::Failed:
            return "echec";
    }
    return "";
}

WebBoard::WebBoard(std::size_t maxQueued, std::size_t maxTracked)
    : snapshot_(std::make_shared<const BoardSnapshot>()),
      maxQueued_(maxQueued),
      maxTracked_(maxTracked) {}

void WebBoard::Publish(BoardSnapshot snapshot) {
    if (snapshot.incidents.size() > kBoardIncidents) {
        snapshot.incidents.erase(snapshot.incidents.begin(),
                                 snapshot.incidents.end() - static_cast<long>(kBoardIncidents));
    }
    if (snapshot.devices.size() > kBoardDevices) snapshot.devices.resize(kBoardDevices);
    auto published = std::make_shared<BoardSnapshot>(std::move(snapshot));
    const std::lock_guard lock(mutex_);
    published->version = nextVersion_++;
    snapshot_ = std::move(published);
}

std::vector<ActionRequest> WebBoard::TakeRequests(std::int64_t now) {
    const std::lock_guard lock(mutex_);
    std::vector<ActionRequest> taken(queue_.begin(), queue_.end());
    queue_.clear();
    for (const ActionRequest& request : taken) {
        if (auto found = progress_.find(request.id); found != progress_.end()) {
            found->second.state = ActionState::Running;
            found->second.updated = now;
        }
    }
    return taken;
}

void WebBoard::Finish(std::uint64_t id, ActionState state, const std::string& message,
                      std::int64_t now) {
    const std::lock_guard lock(mutex_);
    if (auto found = progress_.find(id); found != progress_.end()) {
        found->second.state = state;
        found->second.message = message;
        found->second.updated = now;
    }
}

void WebBoard::FollowUp(std::uint64_t id, const std::string& verdict, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    if (auto found = progress_.find(id); found != progress_.end()) {
        found->second.followUp = verdict;
        found->second.updated = now;
    }
}

void WebBoard::SetWaker(std::function<void()> waker) {
    const std::lock_guard lock(mutex_);
    waker_ = std::move(waker);
}

std::shared_ptr<const BoardSnapshot> WebBoard::Snapshot() const {
    const std::lock_guard lock(mutex_);
    return snapshot_;
}

std::optional<std::uint64_t> WebBoard::Request(WebAction action, const std::string& entry,
                                               const std::string& requester, std::int64_t now) {
    std::function<void()> waker;
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= maxQueued_) return std::nullopt;
        id = nextId_++;
        queue_.push_back({id, action, entry, requester});
        progress_[id] = {id, action, entry, requester, ActionState::Queued, {}, {}, now, now};
        // Ids grow: the first of the map is the oldest.
        while (progress_.size() > maxTracked_) progress_.erase(progress_.begin());
        waker = waker_;
    }
    // Outside the lock: the waker may post to a loop that calls back at once.
    if (waker) waker();
    return id;
}

std::optional<ActionProgress> WebBoard::Progress(std::uint64_t id) const {
    const std::lock_guard lock(mutex_);
    if (auto found = progress_.find(id); found != progress_.end()) return found->second;
    return std::nullopt;
}

}  // namespace korvane
