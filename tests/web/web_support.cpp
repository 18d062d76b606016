#include "web_support.h"

#include <filesystem>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "korvane/core/webcrypto.h"
#include "korvane/web/websecurity.h"
#include "utils.h"

namespace webtest {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

TempFolder::TempFolder() {
    const std::string name = "korvane-web-" + korvane::HexText(korvane::RandomBytes(6));
    const auto path = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(path);
    path_ = path.generic_string() + "/";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

korvane::BoardSnapshot SampleSnapshot() {
    korvane::BoardSnapshot snapshot;
    snapshot.pollTime = 1'800'000'000;
    snapshot.entries = {
        {"pc1", "198.18.0.11", "02-4B-52-00-00-11", true, false, false, "arret", 1'800'003'600,
         "accueil"},
        {"pc2", "198.18.0.12", "02-4B-52-00-00-12", false, false, true, "", std::nullopt, ""},
        {"salle-été", "198.18.0.13", "02-4B-52-00-00-13", true, true, false, "", std::nullopt, ""},
    };
    snapshot.gateway = {"box", "198.18.0.1", true};
    snapshot.incidents = {
        {1'799'990'000, "reveil", "pc2", "ne s'est pas mis en marche", "raison inconnue"},
        {1'799'999'000, "arret", "pc1", "ne s'est pas arrêté", "raison inconnue"}};
    snapshot.devices = {{"02-4B-52-00-00-99", "198.18.0.99", "tel", 1'799'999'000, 1'800'000'000,
                         "", std::nullopt, "nouveau"}};
    snapshot.texts = {{"on", "ON"}, {"off", "OFF"}};
    return snapshot;
}

korvane::WebAccessSettings SampleSettings() {
    static const korvane::PasswordHash hash = korvane::HashPassword(kPassword);
    korvane::WebAccessSettings settings;
    settings.enabled = true;
    settings.password = hash;
    settings.allowedHosts = {"bureau.lan"};
    return settings;
}

std::string Reply::Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

struct Connection::Impl {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    beast::flat_buffer buffer;
    bool open = false;
};

Connection::Connection(int port) : impl_(std::make_unique<Impl>()) {
    beast::error_code error;
    impl_->socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)},
                          error);
    impl_->open = !error;
}

Connection::~Connection() = default;

bool Connection::Open() const {
    return impl_->open;
}

void Connection::Send(const std::string& bytes) {
    beast::error_code error;
    asio::write(impl_->socket, asio::buffer(bytes), error);
}

Reply Connection::Receive(std::chrono::milliseconds wait, bool toHead) {
    Reply reply;
    http::response_parser<http::string_body> parser;
    parser.body_limit(16 << 20);
    parser.skip(toHead);
    bool done = false;
    http::async_read(impl_->socket, impl_->buffer, parser,
                     [&](beast::error_code error, std::size_t) { done = !error; });
    impl_->io.restart();
    impl_->io.run_for(wait);
    if (!done) {
        beast::error_code ignored;
        impl_->socket.cancel(ignored);
        impl_->io.restart();
        impl_->io.run();
        return reply;
    }
    const auto& response = parser.get();
    reply.status = static_cast<int>(response.result_int());
    for (const auto& field : response) {
        reply.headers[toolkit::AsciiLower(std::string(field.name_string()))] =
            std::string(field.value());
    }
    reply.body = response.body();
    return reply;
}

bool Connection::ClosedWithin(std::chrono::milliseconds wait) {
    char byte = 0;
    bool closed = false;
    impl_->socket.async_read_some(
        asio::buffer(&byte, 1), [&](beast::error_code error, std::size_t) {
            closed = error == asio::error::eof || error == asio::error::connection_reset;
        });
    impl_->io.restart();
    impl_->io.run_for(wait);
    beast::error_code ignored;
    impl_->socket.cancel(ignored);
    impl_->io.restart();
    impl_->io.run();
    return closed;
}

std::string RequestText(const std::string& method, const std::string& target, int port,
                        std::map<std::string, std::string> headers, const std::string& body) {
    if (!headers.count("Host")) headers["Host"] = "localhost:" + std::to_string(port);
    std::string text = method + " " + target + " HTTP/1.1\r\n";
    for (const auto& [name, value] : headers) {
        if (!value.empty()) text += name + ": " + value + "\r\n";
    }
    if (!body.empty() || method == "POST")
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

namespace {

korvane::web::ServerConfig TestConfig(korvane::web::ServerConfig config) {
    config.address = "127.0.0.1";
    config.port = 0;
    return config;
}

}  // namespace

Served::Served(korvane::web::ServerConfig config)
    : access("", SampleSettings()),
      api(board, access, clock, korvane::web::HostRule{{"198.18.0.5"}, {"bureau.lan"}}) {
    board.Publish(SampleSnapshot());
    server = std::make_unique<korvane::web::WebServer>(
        TestConfig(config),
        [this](const korvane::web::WebRequest& request) { return api.Handle(request); });
    const std::string problem = server->Start();
    if (!problem.empty()) throw std::runtime_error(problem);
}

Served::~Served() {
    server->Stop();
}

Reply Served::Ask(const std::string& method, const std::string& target,
                  std::map<std::string, std::string> headers, const std::string& body) {
    Connection connection(Port());
    connection.Send(RequestText(method, target, Port(), std::move(headers), body));
    return connection.Receive();
}

Served::Login Served::LogIn(const std::string& body) {
    const Reply reply = Ask("POST", "/api/session", {{"Content-Type", "application/json"}}, body);
    Login login;
    const std::string cookie = reply.Header("set-cookie");
    login.cookie = cookie.substr(0, cookie.find(';'));
    const auto at = reply.body.find("\"csrf\":\"");
    if (at != std::string::npos) login.csrf = reply.body.substr(at + 8, 64);
    return login;
}

std::map<std::string, std::string> Served::Acting(const Login& login) const {
    return {{"Cookie", login.cookie}, {"X-CSRF-Token", login.csrf}};
}

}  // namespace webtest
