// The service a window layer owns: off by default, refused when its file is
// damaged, and over HTTPS with the certificate it made at first use.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "korvane/web/webservice.h"
#include "korvane/web/webtls.h"
#include "utils.h"
#include "web_support.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

// A port of the test's own namespace: nothing else listens there.
constexpr int kPort = 18765;

// One request over TLS, the certificate checked against `certificate` and
// the name "localhost"; the response, or status 0 when the handshake failed.
http::response<http::string_body> AskOverTls(const std::string& certificate, http::verb verb,
                                             const std::string& target, const std::string& body) {
    asio::io_context io;
    asio::ssl::context context(asio::ssl::context::tls_client);
    context.load_verify_file(certificate);
    beast::ssl_stream<beast::tcp_stream> stream(io, context);
    stream.set_verify_mode(asio::ssl::verify_peer);
    stream.set_verify_callback(asio::ssl::host_name_verification("localhost"));
    http::response<http::string_body> response;
    beast::error_code error;
    beast::get_lowest_layer(stream).connect({asio::ip::make_address("127.0.0.1"), kPort}, error);
    if (!error) stream.handshake(asio::ssl::stream_base::client, error);
    if (error) return response;
    http::request<http::string_body> request{verb, target, 11};
    request.set(http::field::host, "localhost:" + std::to_string(kPort));
    request.set(http::field::content_type, "application/json");
    request.body() = body;
    request.prepare_payload();
    beast::flat_buffer buffer;
    http::write(stream, request, error);
    if (!error) http::read(stream, buffer, response, error);
    return response;
}

TEST(WebService, OffByDefaultRefusedWhenDamagedServedOverHttpsWhenOn) {
    const webtest::TempFolder folder;
    const std::string& dir = folder.Path();
    webtest::ManualClock clock;
    korvane::WebBoard board;
    board.Publish(webtest::SampleSnapshot());
    korvane::AccessStore access(dir);
    korvane::web::WebService service(dir, board, access, clock);
    EXPECT_EQ(service.Start(), "");  // no file: off, nothing to tell
    EXPECT_FALSE(service.Running());

    toolkit::SaveLines(dir + korvane::kWebAccessFile,
                       {"actif=oui", "port=" + std::to_string(kPort)});
    EXPECT_NE(service.Start().find("aucun mot de passe"), std::string::npos);
    EXPECT_FALSE(service.Running());

    korvane::WebAccessSettings settings = webtest::SampleSettings();
    settings.port = kPort;
    korvane::SaveWebAccess(dir, settings);
    ASSERT_EQ(service.Start(), "");
    ASSERT_TRUE(service.Running());
    EXPECT_EQ(service.Address().rfind("https://", 0), 0u);
    const std::string certificate = dir + korvane::web::kCertificateFile;
    EXPECT_EQ(service.Fingerprint(), korvane::web::CertificateFingerprint(certificate));
    EXPECT_EQ(service.Fingerprint().size(), 32u * 3 - 1);
    struct stat key {};
    ASSERT_EQ(stat((dir + korvane::web::kKeyFile).c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);

    const auto texts = AskOverTls(certificate, http::verb::get, "/api/textes", "");
    EXPECT_EQ(texts.result_int(), 200u);
    const auto login = AskOverTls(certificate, http::verb::post, "/api/session",
                                  std::string("{\"mot_de_passe\":\"") + webtest::kPassword + "\"}");
    EXPECT_EQ(login.result_int(), 200u);
    EXPECT_NE(std::string(login[http::field::set_cookie]).find("; Secure"), std::string::npos);
    // Plain HTTP on the HTTPS port gets no page.
    webtest::Connection plain(kPort);
    plain.Send(webtest::RequestText("GET", "/api/textes", kPort));
    EXPECT_EQ(plain.Receive(std::chrono::seconds(2)).status, 0);

    // A second start keeps the certificate the browsers were told to trust.
    const std::string fingerprint = service.Fingerprint();
    service.Stop();
    EXPECT_FALSE(service.Running());
    ASSERT_EQ(service.Start(), "");
    EXPECT_EQ(service.Fingerprint(), fingerprint);
    service.Stop();
}

}  // namespace
