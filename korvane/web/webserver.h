// The HTTP server of the access from the network: Boost.Beast over Asio, on
// a small fixed pool of threads, with every size, count and time bounded.
// It parses nothing itself: each request Beast parsed becomes a WebRequest
// for the handler (WebApi::Handle), whose answer it writes back. HTTPS when
// given a certificate and its key (Linux; Windows serves HTTP).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "korvane/web/webrequest.h"

namespace korvane::web {

struct ServerConfig {
    std::string address = "0.0.0.0";
    int port = 8765;  // 0: any free port (tests)
    int threads = 2;
    std::size_t maxConnections = 64;
    std::size_t headerLimit = 8 * 1024;
    std::size_t bodyLimit = 32 * 1024;
    // A request must arrive whole within this time of the previous answer
    // (or of the connection): a slow client, or an idle kept-alive
    // connection, is cut there.
    std::chrono::milliseconds requestTimeout{10000};
    std::chrono::milliseconds writeTimeout{10000};
    // PEM files; both empty: HTTP.
    std::string certificateFile;
    std::string keyFile;
};

// Whether this build can serve HTTPS (the Linux one, with OpenSSL).
bool ServerHasTls();

class WebServer {
  public:
    using Handler = std::function<WebResponse(const WebRequest&)>;
    WebServer(ServerConfig config, Handler handler);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Empty when serving; else why not, in French (the port is taken, the
    // certificate unreadable).
    std::string Start();
    // Closes every connection and joins the threads; the handler is never
    // called after it returns.
    void Stop();
    bool Running() const;
    int Port() const;  // the port bound
    std::size_t Connections() const;

    struct Impl;  // Asio's and Beast's, kept out of this header

  private:
    ServerConfig config_;
    Handler handler_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::web
