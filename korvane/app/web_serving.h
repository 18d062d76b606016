// What serves the page and the JSON API, as the app layer drives it. The app
// layer links no server: the window layer's program file (korvane/gui,
// korvane/win32) gives a maker of the real one (korvane/web's WebService),
// the tests a stand-in. The app's web feature makes it over the board and
// the settings' store it owns, and starts and stops it on its own thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "korvane/app/access_store.h"
#include "korvane/app/clock.h"
#include "korvane/app/webboard.h"

namespace korvane {

class WebServing {
  public:
    virtual ~WebServing() = default;
    // Serves with the store's settings when they are on (the store read
    // again first). Empty when serving or off by choice; else why it does
    // not serve (French: the port is taken, the file is damaged...).
    virtual std::string Start() = 0;
    // Closes every connection and joins the server's threads: the board is
    // not read after it returns.
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
    // The page's address with the store's settings ("https://192.168.1.10:8765/"),
    // whether this Korvane serves it or another one of the folder does.
    virtual std::string Address() const = 0;
    // The SHA-256 fingerprint of the certificate served, or that the next
    // start will serve; empty over HTTP, or before the first start made it.
    virtual std::string Fingerprint() const = 0;
};

// Makes the server of a program folder (trailing "/") over the app's board
// and store.
using WebServingMaker = std::function<std::unique_ptr<WebServing>(
    const std::string& programDir, WebBoard& board, AccessStore& access, const Clock& clock)>;

}  // namespace korvane
