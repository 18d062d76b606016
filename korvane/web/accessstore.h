// The access settings while the server runs: read by its threads, changed by
// the API (tokens made and revoked) and by the preferences, each change
// written to the program folder at once. A token's last use is written at
// most once a minute (and at Flush), not at every request of a hub.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "korvane/core/webaccess.h"

namespace korvane::web {

class AccessStore {
  public:
    // `programDir` empty: nothing is written (tests, the fuzz target).
    AccessStore(std::string programDir, WebAccessSettings settings);

    WebAccessSettings Settings() const;
    // Replaced whole (the preferences). Throws FileError; nothing changes then.
    void Replace(const WebAccessSettings& settings);

    // Slow on purpose (PBKDF2); the lock is not held meanwhile.
    bool PasswordMatches(const std::string& password) const;
    // The token a secret names, its last use recorded.
    std::optional<ApiToken> UseToken(const std::string& secret, std::int64_t now);
    std::optional<ApiToken> TokenById(const std::string& id) const;
    // Throws std::invalid_argument (French) for a name refused or too many
    // tokens, FileError when the file cannot be written.
    NewToken AddToken(const std::string& name, WebRole role, const toolkit::TextList& entries,
                      std::int64_t now);
    // False when no token has that id. Throws FileError.
    bool RevokeToken(const std::string& id);
    // Writes the last uses not yet written. Throws FileError.
    void Flush();

  private:
    void SaveLocked();

    std::string programDir_;
    mutable std::mutex mutex_;
    WebAccessSettings settings_;
    std::int64_t lastUseWritten_ = 0;
    bool lastUseUnwritten_ = false;
};

}  // namespace korvane::web
