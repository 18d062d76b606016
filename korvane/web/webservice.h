// The access from the network as the app's web feature drives it
// (korvane/app/web_serving.h): the certificate, the API and the server,
// started when the settings say on and stopped with their owner, over the
// board and the settings' store of the app. The window layers' program
// files give the app a maker of it (MakeWebService), so that the window-free
// app layer links no server.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "korvane/app/access_store.h"
#include "korvane/app/clock.h"
#include "korvane/app/web_serving.h"
#include "korvane/app/webboard.h"
#include "korvane/web/webserver.h"

namespace korvane::web {

class WebApi;

class WebService : public WebServing {
  public:
    WebService(std::string programDir, WebBoard& board, AccessStore& access, const Clock& clock);
    ~WebService() override;
    WebService(const WebService&) = delete;
    WebService& operator=(const WebService&) = delete;

    // Reads the settings again and serves when they are on. Empty when
    // serving or off by choice; else why it does not serve (French).
    std::string Start() override { return Start(ServerConfig{}); }
    // The same with the server's limits given (tests: any port, short time-outs).
    std::string Start(ServerConfig limits);
    void Stop() override;
    bool Running() const override;
    std::string Address() const override;
    std::string Fingerprint() const override;

  private:
    std::string programDir_;
    WebBoard& board_;
    AccessStore& access_;
    const Clock& clock_;
    std::unique_ptr<WebApi> api_;
    std::unique_ptr<WebServer> server_;
    std::string fingerprint_;
    bool tls_ = false;
};

// The maker the program files give the app (KorvaneApp's last argument).
std::unique_ptr<WebServing> MakeWebService(const std::string& programDir, WebBoard& board,
                                           AccessStore& access, const Clock& clock);

}  // namespace korvane::web
