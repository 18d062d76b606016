// The preferences' section "Accès depuis le réseau", and "Garder Korvane
// actif, fenêtre fermée": what the dialog shows, and what its buttons do,
// window-free (the Qt and Win32 dialogs only draw them). Every change goes
// through the web feature's settings store, the one writer of
// acces-web.ini in this process, which the running server reads too; the
// server then follows at once (a new port or password starts it again).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "korvane/app/always_on.h"
#include "korvane/app/app_context.h"
#include "korvane/app/web_feature.h"

namespace korvane {

struct WebTokenRow {
    std::string id;
    std::string name;
    std::string role;     // "administrateur" or "réveil seulement"
    std::string entries;  // "pc1, pc2" for a "réveil seulement" token
    std::string created;  // local "dd/mm/yyyy hh:mm"
    std::string lastUse;  // the same, or "jamais"
};

struct WebPreferencesShown {
    bool enabled = false;
    std::string port;
    bool passwordSet = false;
    std::string address;      // to copy; empty when off
    std::string fingerprint;  // the certificate's (HTTPS); empty over HTTP
    std::string status;       // one line: served here, elsewhere, off, why not
    std::vector<WebTokenRow> tokens;
};

struct WebPreferencesTyped {
    bool enabled = false;
    std::string port;
    std::string password;  // both empty: the password stays
    std::string passwordAgain;
    std::optional<bool> keepRunning;  // nullopt: left as it is
};

class WebPreferences {
  public:
    WebPreferences(AppContext& ctx, WebFeature& web, SystemSeam system);

    WebPreferencesShown Current();
    // Whether the planner is kept running; nullopt: it cannot be told here
    // (no systemd for this user), the box is then shown greyed. Asks the
    // system (systemctl): once when the dialog opens.
    std::optional<bool> KeepRunning();
    // A refusal is told (Warn) and changes nothing; true when saved.
    bool Save(const WebPreferencesTyped& typed);
    // A new API token: its secret, shown this once; nullopt when refused
    // (told). `entries`: the names a "réveil seulement" token may see and
    // wake, separated by commas, each on the map.
    std::optional<std::string> MakeToken(const std::string& name, bool admin,
                                         const std::string& entries);
    bool RevokeToken(const std::string& id);

    void SetSystem(SystemSeam system) { system_ = std::move(system); }

  private:
    // The feature's store, or one of this folder's own before the start.
    AccessStore& Store();
    void Applied();

    AppContext& ctx_;
    WebFeature& web_;
    SystemSeam system_;
    std::optional<AccessStore> own_;
};

}  // namespace korvane
