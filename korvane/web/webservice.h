// The access from the network as a window layer owns it (the Qt window, the
// Win32 one, the planner): the settings read from the program folder, the
// certificate, the API and the server, started when the settings say on and
// stopped with the owner. The board is the owner's, published and drained
// on its own thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "korvane/app/clock.h"
#include "korvane/app/webboard.h"
#include "korvane/web/accessstore.h"
#include "korvane/web/webserver.h"

namespace korvane::web {

class WebApi;

class WebService {
  public:
    WebService(std::string programDir, WebBoard& board, const Clock& clock);
    ~WebService();
    WebService(const WebService&) = delete;
    WebService& operator=(const WebService&) = delete;

    // Reads the settings and serves when they are on. Empty when serving or
    // off by choice; else why it does not serve (French).
    std::string Start(ServerConfig limits = {});
    void Stop();
    bool Running() const;
    // What the preferences show: the page's address to copy, the
    // certificate's fingerprint (empty over HTTP).
    std::string Address() const;
    std::string Fingerprint() const { return fingerprint_; }
    // The settings in force while serving (tokens made and revoked from the
    // preferences go through it); nullptr when not serving.
    AccessStore* Access() { return access_.get(); }

  private:
    std::string programDir_;
    WebBoard& board_;
    const Clock& clock_;
    std::unique_ptr<AccessStore> access_;
    std::unique_ptr<WebApi> api_;
    std::unique_ptr<WebServer> server_;
    std::string fingerprint_;
    bool tls_ = false;
};

}  // namespace korvane::web
