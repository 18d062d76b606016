#include "korvane/web/webservice.h"

#include "korvane/web/webapi.h"
#ifdef KORVANE_WEB_TLS
#include "korvane/web/webtls.h"
#endif
#include "reseau.h"

namespace korvane::web {

WebService::WebService(std::string programDir, WebBoard& board, const Clock& clock)
    : programDir_(std::move(programDir)), board_(board), clock_(clock) {}

WebService::~WebService() {
    Stop();
}

std::string WebService::Start(ServerConfig limits) {
    if (Running()) return {};
    const WebAccessRead read = LoadWebAccess(programDir_);
    if (!read.problem.empty()) return read.problem;
    if (!read.settings.enabled) return {};
    limits.port = read.settings.port;
    fingerprint_.clear();
    tls_ = false;
    // Windows' build has no TLS library: it serves HTTP, as the README says.
#ifdef KORVANE_WEB_TLS
    {
        const TlsFiles files = PrepareTls(programDir_, read.settings);
        if (!files.problem.empty()) return files.problem;
        limits.certificateFile = files.certificate;
        limits.keyFile = files.key;
        fingerprint_ = files.fingerprint;
        tls_ = !files.certificate.empty();
    }
#endif
    access_ = std::make_unique<AccessStore>(programDir_, read.settings);
    api_ = std::make_unique<WebApi>(board_, *access_, clock_,
                                    LocalHostRule(read.settings.allowedHosts));
    server_ = std::make_unique<WebServer>(
        limits, [api = api_.get()](const WebRequest& request) { return api->Handle(request); });
    std::string problem = server_->Start();
    if (!problem.empty()) Stop();
    return problem;
}

void WebService::Stop() {
    if (server_) server_->Stop();
    if (access_) {
        try {
            access_->Flush();
        } catch (const toolkit::FileError&) {
            // Only the tokens' last uses are lost.
        }
    }
    server_.reset();
    api_.reset();
    access_.reset();
}

bool WebService::Running() const {
    return server_ && server_->Running();
}

std::string WebService::Address() const {
    toolkit::TextList addresses, masks;
    toolkit::LoadLocalAddressTable(addresses, masks);
    std::string host = "localhost";
    for (const std::string& address : addresses) {
        if (address.rfind("127.", 0) != 0) {
            host = address;
            break;
        }
    }
    const int port = server_ ? server_->Port() : kDefaultWebPort;
    return std::string(tls_ ? "https://" : "http://") + host + ":" + std::to_string(port) + "/";
}

}  // namespace korvane::web
