#include "korvane/web/sessions.h"

#include <algorithm>
#include <iterator>

#include "korvane/core/webcrypto.h"

namespace korvane::web {

std::string SessionStore::Open(Session session, std::int64_t now) {
    const std::string id = HexText(RandomBytes(32));
    session.csrf = HexText(RandomBytes(32));
    session.created = now;
    session.lastUse = now;
    const std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const auto& kept) { return Expired(kept.second, now); });
    while (sessions_.size() >= limits_.most && !sessions_.empty()) {
        sessions_.erase(std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; }));
    }
    // Kept by digest: the map's order and look-up never compare the secret.
    sessions_[Sha256(id)] = std::move(session);
    return id;
}

std::optional<Session> SessionStore::Use(const std::string& id, std::int64_t now) {
    if (id.size() != 64) return std::nullopt;
    const std::string key = Sha256(id);
    const std::lock_guard lock(mutex_);
    const auto found = sessions_.find(key);
    if (found == sessions_.end()) return std::nullopt;
    if (Expired(found->second, now)) {
        sessions_.erase(found);
        return std::nullopt;
    }
    found->second.lastUse = now;
    return found->second;
}

void SessionStore::Close(const std::string& id) {
    const std::lock_guard lock(mutex_);
    sessions_.erase(Sha256(id));
}

void SessionStore::CloseToken(const std::string& tokenId) {
    const std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const auto& kept) { return kept.second.tokenId == tokenId; });
}

void SessionStore::CloseAll() {
    const std::lock_guard lock(mutex_);
    sessions_.clear();
}

std::size_t SessionStore::Count() const {
    const std::lock_guard lock(mutex_);
    return sessions_.size();
}

bool SessionStore::Expired(const Session& session, std::int64_t now) const {
    return now - session.lastUse >= limits_.idleSeconds ||
           now - session.created >= limits_.absoluteSeconds || now < session.created;
}

}  // namespace korvane::web
