#include "korvane/web/webservice.h"

#include "korvane/web/webapi.h"
#ifdef KORVANE_WEB_TLS
#include "korvane/web/webtls.h"
#endif
#include "reseau.h"

namespace korvane::web {

namespace {

// Whether these settings serve HTTPS in this build. Windows' build has no
// TLS library: it serves HTTP, as the README says.
bool ServesTls(const WebAccessSettings& settings) {
#ifdef KORVANE_WEB_TLS
    return settings.tls != TlsChoice::Off;
#else
    (void)settings;
    return false;
#endif
}

}  // namespace

WebService::WebService(std::string programDir, WebBoard& board, AccessStore& access,
                       const Clock& clock)
    : programDir_(std::move(programDir)), board_(board), access_(access), clock_(clock) {}

WebService::~WebService() {
    Stop();
}

std::string WebService::Start(ServerConfig limits) {
    if (Running()) return {};
    access_.Refresh();
    const std::string problem = access_.Problem();
    if (!problem.empty()) return problem;
    const WebAccessSettings settings = access_.Settings();
    if (!settings.enabled) return {};
    if (const auto refusal = EnableProblem(settings)) {
        return "Accès depuis le réseau coupé : " + *refusal + ".";
    }
    limits.port = settings.port;
    fingerprint_.clear();
    tls_ = false;
#ifdef KORVANE_WEB_TLS
    if (ServesTls(settings)) {
        const TlsFiles files = PrepareTls(programDir_, settings);
        if (!files.problem.empty()) return files.problem;
        limits.certificateFile = files.certificate;
        limits.keyFile = files.key;
        fingerprint_ = files.fingerprint;
        tls_ = !files.certificate.empty();
    }
#endif
    api_ = std::make_unique<WebApi>(board_, access_, clock_, LocalHostRule(settings.allowedHosts));
    server_ = std::make_unique<WebServer>(
        limits, [api = api_.get()](const WebRequest& request) { return api->Handle(request); });
    std::string failure = server_->Start();
    if (!failure.empty()) Stop();
    return failure;
}

void WebService::Stop() {
    if (server_) server_->Stop();
    if (server_) {
        try {
            access_.Flush();
        } catch (const toolkit::FileError&) {
            // Only the tokens' last uses are lost.
        }
    }
    server_.reset();
    api_.reset();
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
    const WebAccessSettings settings = access_.Settings();
    const bool tls = Running() ? tls_ : ServesTls(settings);
    const int port = Running() ? server_->Port() : settings.port;
    return std::string(tls ? "https://" : "http://") + host + ":" + std::to_string(port) + "/";
}

// Before a start, the certificate a start would serve, when it is there.
std::string WebService::Fingerprint() const {
    if (Running()) return fingerprint_;
#ifdef KORVANE_WEB_TLS
    const WebAccessSettings settings = access_.Settings();
    if (settings.tls == TlsChoice::Auto) return CertificateFingerprint(programDir_ + kCertificateFile);
    if (settings.tls == TlsChoice::OwnFiles) return CertificateFingerprint(settings.certificateFile);
#endif
    return {};
}

std::unique_ptr<WebServing> MakeWebService(const std::string& programDir, WebBoard& board,
                                           AccessStore& access, const Clock& clock) {
    return std::make_unique<WebService>(programDir, board, access, clock);
}

}  // namespace korvane::web
