// What the web tests share: a clock they move by hand, a board with a few
// entries, the API and the server over it on loopback, and a client that
// sends raw bytes (so that a test can send what no browser would) and reads
// the answer with Beast's parser.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "korvane/app/access_store.h"
#include "korvane/app/clock.h"
#include "korvane/app/webboard.h"
#include "korvane/web/webapi.h"
#include "korvane/web/webserver.h"

namespace webtest {

class ManualClock : public korvane::Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::time_point(std::chrono::seconds(seconds_.load()));
    }
    void Advance(std::int64_t seconds) { seconds_ += seconds; }
    std::int64_t Seconds() const { return seconds_; }

  private:
    std::atomic<std::int64_t> seconds_{1'800'000'000};
};

inline constexpr const char* kPassword = "correct cheval pile agrafe";

// A new folder of the system's temporary folder (trailing "/"), removed with
// everything in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// pc1 on, pc2 off and protected, "salle-été" (a name to percent-encode) on.
korvane::BoardSnapshot SampleSnapshot();
// Settings with kPassword (hashed once per run: the derivation is slow on purpose).
korvane::WebAccessSettings SampleSettings();

struct Reply {
    int status = 0;                              // 0: no answer (the server closed the connection)
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string body;
    std::string Header(const std::string& name) const;
};

// One connection to 127.0.0.1:port.
class Connection {
  public:
    explicit Connection(int port);
    ~Connection();
    bool Open() const;
    void Send(const std::string& bytes);
    // The next answer, or status 0 when the connection ends first or nothing
    // comes within `wait`.
    // `toHead`: the answer to a HEAD request, which has no body.
    Reply Receive(std::chrono::milliseconds wait = std::chrono::seconds(5), bool toHead = false);
    // True when the server closes the connection within `wait`.
    bool ClosedWithin(std::chrono::milliseconds wait);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A request's bytes: Host "localhost:PORT" unless `headers` gives one (an
// empty value leaves the header out).
std::string RequestText(const std::string& method, const std::string& target, int port,
                        std::map<std::string, std::string> headers = {},
                        const std::string& body = {});

// The board, the settings, the API and the server on 127.0.0.1, any port,
// with short time-outs and few connections.
class Served {
  public:
    explicit Served(korvane::web::ServerConfig config = {});
    ~Served();
    Reply Ask(const std::string& method, const std::string& target,
              std::map<std::string, std::string> headers = {}, const std::string& body = {});
    // Logs in with the password; the cookie and CSRF token for later requests.
    struct Login {
        std::string cookie;
        std::string csrf;
    };
    Login LogIn(const std::string& body = std::string("{\"mot_de_passe\":\"") + kPassword + "\"}");
    std::map<std::string, std::string> Acting(const Login& login) const;
    int Port() const { return server->Port(); }

    ManualClock clock;
    korvane::WebBoard board;
    korvane::AccessStore access;
    korvane::web::WebApi api;
    std::unique_ptr<korvane::web::WebServer> server;
};

}  // namespace webtest
