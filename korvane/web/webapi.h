// The page and the JSON API, as one function from a request to its response:
// the Host check, the caller's identity (session cookie with its CSRF token,
// or bearer token), its role, the Origin of requests that act, then the
// route. Reads come from the board's latest snapshot; actions are queued on
// the board for the app's thread. Called on the server's threads, any number
// at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "korvane/app/access_store.h"
#include "korvane/app/clock.h"
#include "korvane/app/webboard.h"
#include "korvane/web/energycache.h"
#include "korvane/web/sessions.h"
#include "korvane/web/throttle.h"
#include "korvane/web/webrequest.h"
#include "korvane/web/websecurity.h"

namespace korvane::web {

struct ApiRules {
    SessionLimits sessions;
    ThrottleRule throttle;
};

class WebApi {
  public:
    WebApi(WebBoard& board, AccessStore& access, const Clock& clock, HostRule hosts,
           ApiRules rules = {});
    // Every response carries the security headers.
    WebResponse Handle(const WebRequest& request);
    SessionStore& Sessions() { return sessions_; }

  private:
    struct Caller {
        WebRole role = WebRole::Admin;
        std::string name;
        toolkit::TextList entries;  // a "réveil seulement" caller's
        bool bearer = false;
        std::string sessionId;
        std::string csrf;
        bool MaySee(const std::string& entry) const;
    };

    WebResponse Route(const WebRequest& request);
    WebResponse Page(const std::string& path) const;
    std::optional<WebResponse> Refusal(const WebRequest& request) const;
    std::optional<Caller> Identify(const WebRequest& request, WebResponse& refusal);
    WebResponse Api(const WebRequest& request, const std::string& path, const std::string& query);
    WebResponse Authenticated(const WebRequest& request, const Caller& caller,
                              const std::string& path, const std::string& query);

    WebResponse LogIn(const WebRequest& request);
    WebResponse LogOut(const Caller& caller, bool tls);
    WebResponse SessionInfo(const Caller& caller) const;
    WebResponse State(const Caller& caller) const;
    WebResponse Act(const Caller& caller, const std::string& rest);
    WebResponse ActionStatus(const Caller& caller, const std::string& id) const;
    WebResponse Incidents(const std::string& query) const;
    WebResponse Energy(const std::string& query);
    WebResponse Devices() const;
    WebResponse Tokens(const WebRequest& request, const Caller& caller, const std::string& rest);
    WebResponse Metrics(const WebRequest& request);

    std::int64_t Now() const;
    // GET /api/etat's body for this caller's view of `snapshot`.
    std::shared_ptr<const std::string> StateBody(
        const Caller& caller, const std::shared_ptr<const BoardSnapshot>& snapshot) const;

    WebBoard& board_;
    AccessStore& access_;
    const Clock& clock_;
    HostRule hosts_;
    SessionStore sessions_;
    LoginThrottle throttle_;
    EnergyCache energy_;
    std::atomic<bool> deriving_{false};  // one password derivation at a time
    // Every page and script of the LAN asks GET /api/etat every 10 s, and
    // only the app's next publication changes it: its body is made once per
    // snapshot and per view (the administrator's, each token's entries).
    // Building the JSON each time held the server to a fraction of a static
    // file's rate.
    mutable std::mutex stateMutex_;
    mutable std::shared_ptr<const BoardSnapshot> stateSnapshot_;
    mutable std::map<std::string, std::shared_ptr<const std::string>> stateBodies_;
};

}  // namespace korvane::web
