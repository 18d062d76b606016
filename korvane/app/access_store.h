// The access settings of this process (acces-web.ini), its one writer:
// read by the server's threads, changed by the API (tokens made and revoked)
// and by the preferences, each change written to the program folder at once.
// A token's last use is written at most once a minute (and at Flush), not at
// every request of a hub. Another Korvane of the folder (a window beside the
// planner) may replace the file: the store reads it again when its stamp
// changed, before each write of its own and at each Refresh, so that no
// write of one process undoes the other's.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "korvane/core/webaccess.h"
#include "platform/platform.h"

namespace korvane {

class AccessStore {
  public:
    // `programDir` empty: nothing is read nor written (tests, the fuzz target).
    AccessStore(std::string programDir, WebAccessSettings settings);
    // The settings of the folder's file as they are now (LoadWebAccess).
    explicit AccessStore(std::string programDir);

    WebAccessSettings Settings() const;
    // Why the file turned the access off (French); empty when it did not.
    std::string Problem() const;
    // Replaced whole (the preferences). Throws FileError; nothing changes then.
    void Replace(const WebAccessSettings& settings);
    // Reads the file again when another process replaced it since this
    // store last read or wrote it; true when the settings changed. The last
    // uses this store has not written yet are kept.
    bool Refresh();

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
    bool RefreshLocked();
    void SaveLocked();

    std::string programDir_;
    mutable std::mutex mutex_;
    WebAccessSettings settings_;
    std::string problem_;
    // The file's stamp when this store last read or wrote it (none: missing).
    std::optional<toolkit::platform::FileStamp> stamp_;
    bool looked_ = false;
    std::int64_t lastUseWritten_ = 0;
    bool lastUseUnwritten_ = false;
};

}  // namespace korvane
