// The page's sessions: a random id in an HttpOnly cookie, a CSRF token that
// every request that acts must repeat in a header, an idle and an absolute
// expiry. Bounded: past the most, the session used longest ago goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "korvane/core/webaccess.h"

namespace korvane::web {

inline constexpr const char* kSessionCookie = "korvane_session";

struct SessionLimits {
    std::int64_t idleSeconds = 30 * 60;
    std::int64_t absoluteSeconds = 12 * 3600;
    std::size_t most = 64;
};

struct Session {
    std::string csrf;
    WebRole role = WebRole::Admin;
    std::string tokenId;  // the token a "réveil seulement" user logged in with
    std::string name;     // who, for the actions' record
    std::int64_t created = 0;
    std::int64_t lastUse = 0;
};

class SessionStore {
  public:
    explicit SessionStore(SessionLimits limits = {}) : limits_(limits) {}
    // The new session's id (64 hexadecimal digits of 32 random bytes).
    std::string Open(Session session, std::int64_t now);
    // The live session of `id`, its last use renewed; nothing when unknown or expired.
    std::optional<Session> Use(const std::string& id, std::int64_t now);
    void Close(const std::string& id);
    // Every session opened with that token ends with it.
    void CloseToken(const std::string& tokenId);
    // The administrator's password changed: every session ends.
    void CloseAll();
    std::size_t Count() const;
    const SessionLimits& Limits() const { return limits_; }

  private:
    bool Expired(const Session& session, std::int64_t now) const;

    SessionLimits limits_;
    mutable std::mutex mutex_;
    std::map<std::string, Session> sessions_;  // by the SHA-256 of the id
};

}  // namespace korvane::web
