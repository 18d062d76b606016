// A request and its response as the API sees them, apart from any socket:
// the server (webserver.cpp) fills a WebRequest from what Boost.Beast parsed
// and writes the WebResponse back, so that the routing and its security are
// tested and fuzzed without a network.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvane::web {

struct WebRequest {
    std::string method;  // "GET", "POST", ...
    std::string target;  // path and query, as sent
    std::string host;
    std::string origin;         // empty when absent
    std::string secFetchSite;   // empty when absent
    std::string cookie;         // the Cookie header, whole
    std::string authorization;  // the Authorization header, whole
    std::string csrf;           // X-CSRF-Token
    std::string contentType;
    std::string body;
    std::string client;  // the peer's address, for the log-in slow-down
    bool tls = false;
};

struct WebResponse {
    int status = 200;
    std::string contentType = "application/json; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;  // besides the security headers
    std::string body;
    void Add(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
    }
};

}  // namespace korvane::web
