#include "korvane/web/webserver.h"

#include <atomic>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#ifdef KORVANE_WEB_TLS
#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>
#endif

#include "korvane/web/websecurity.h"

namespace korvane::web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

bool ServerHasTls() {
#ifdef KORVANE_WEB_TLS
    return true;
#else
    return false;
#endif
}

// One io_context per thread, each connection on one of them in turn: a
// connection's reads, writes and timers then stay on its thread, with no
// strand and no waking of the other thread at each step (shared by both
// threads, the io_context held the server to a third of a static file
// server's rate under load).
struct WebServer::Impl {
    Impl(const ServerConfig& given, const Handler& served) : config(given), handler(served) {
        for (int i = 0; i < std::max(1, given.threads); ++i) {
            contexts.push_back(std::make_unique<asio::io_context>(1));
            // A thread whose io_context has no connection yet waits for one.
            idle.push_back(asio::make_work_guard(*contexts.back()));
        }
    }
    // In this order: the connections still queued in an io_context when it
    // goes count themselves out and use the TLS context, which outlive it.
    const ServerConfig& config;
    const Handler& handler;
    std::atomic<std::size_t> connections{0};
#ifdef KORVANE_WEB_TLS
    std::optional<asio::ssl::context> tls;
#endif
    std::vector<std::unique_ptr<asio::io_context>> contexts;
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> idle;
    std::size_t nextContext = 0;            // the acceptor's handler's only
    std::optional<tcp::acceptor> acceptor;  // on the first io_context
    std::vector<std::thread> threads;
    void Accept();
};

namespace {

std::string HeaderOf(const http::request<http::string_body>& request, http::field field) {
    const auto found = request.find(field);
    return found == request.end() ? std::string() : std::string(found->value());
}

std::string HeaderOf(const http::request<http::string_body>& request, const char* name) {
    const auto found = request.find(name);
    return found == request.end() ? std::string() : std::string(found->value());
}

WebRequest ToWebRequest(const http::request<http::string_body>& request, const std::string& client,
                        bool tls) {
    WebRequest web;
    web.method = std::string(request.method_string());
    web.target = std::string(request.target());
    web.host = HeaderOf(request, http::field::host);
    web.origin = HeaderOf(request, http::field::origin);
    web.secFetchSite = HeaderOf(request, "Sec-Fetch-Site");
    web.cookie = HeaderOf(request, http::field::cookie);
    web.authorization = HeaderOf(request, http::field::authorization);
    web.csrf = HeaderOf(request, "X-CSRF-Token");
    web.contentType = HeaderOf(request, http::field::content_type);
    web.body = request.body();
    web.client = client;
    web.tls = tls;
    return web;
}

// A header's text as written: a CR or LF would end the head there and let
// what follows pass for headers or a body of the server's.
void AppendHeaderText(std::string& text, std::string_view value) {
    for (auto end = value.find_first_of("\r\n"); end != std::string_view::npos;
         end = value.find_first_of("\r\n")) {
        text += value.substr(0, end);
        value.remove_prefix(end + 1);
    }
    text += value;
}

// The answer's bytes, its head and its body in one buffer written at once.
// Beast's serializer of a response object cost, under load, as much again
// as everything else the server does for GET /api/etat. A HEAD request gets
// the head only, with the body's length.
std::string ResponseText(const WebResponse& web, unsigned version, bool keepAlive, bool head) {
    std::string text;
    text.reserve(512 + web.body.size());
    text += version == 10 ? "HTTP/1.0 " : "HTTP/1.1 ";
    text += std::to_string(web.status);
    text += ' ';
    text += http::obsolete_reason(static_cast<http::status>(web.status));
    text += "\r\nServer: Korvane\r\nContent-Type: ";
    AppendHeaderText(text, web.contentType);
    for (const auto& [name, value] : web.headers) {
        text += "\r\n";
        AppendHeaderText(text, name);
        text += ": ";
        AppendHeaderText(text, value);
    }
    text += "\r\nContent-Length: ";
    text += std::to_string(web.body.size());
    if (!keepAlive) {
        text += "\r\nConnection: close";
    } else if (version == 10) {
        text += "\r\nConnection: keep-alive";
    }
    text += "\r\n\r\n";
    if (!head) text += web.body;
    return text;
}

// What the server answers itself, before any handler: a request Beast
// refused (too large, malformed). The security headers all the same.
WebResponse ServerRefusal(const beast::error_code& error) {
    WebResponse response;
    if (error == http::error::header_limit) {
        response = ErrorResponse(431, "En-têtes trop longs.");
    } else if (error == http::error::body_limit) {
        response = ErrorResponse(413, "Corps de requête trop long.");
    } else {
        response = ErrorResponse(400, "Requête HTTP malformée.");
    }
    AddSecurityHeaders(response, false);
    return response;
}

template <class Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
  public:
    Connection(WebServer::Impl& server, Stream stream, std::string client, bool tls)
        : server_(server), stream_(std::move(stream)), client_(std::move(client)), tls_(tls) {}
    ~Connection() { --server_.connections; }

    void Start() {
#ifdef KORVANE_WEB_TLS
        if constexpr (!std::is_same_v<Stream, beast::tcp_stream>) {
            beast::get_lowest_layer(stream_).expires_after(server_.config.requestTimeout);
            stream_.async_handshake(asio::ssl::stream_base::server,
                                    [self = this->shared_from_this()](beast::error_code error) {
                                        if (!error) self->Read();
                                    });
            return;
        }
#endif
        Read();
    }

  private:
    void Read() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.config.headerLimit));
        parser_->body_limit(server_.config.bodyLimit);
        beast::get_lowest_layer(stream_).expires_after(server_.config.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                             self->OnRead(error);
                         });
    }

    void OnRead(const beast::error_code& error) {
        if (error == http::error::end_of_stream || error == beast::error::timeout ||
            error == asio::error::operation_aborted || error == asio::error::eof) {
            return Close();
        }
        if (error) {
            // Not a socket's end: the request itself was refused; say why, then close.
            if (error.category() == http::make_error_code(http::error::body_limit).category()) {
                return Write(ServerRefusal(error), 11, false, false);
            }
            return Close();
        }
        const auto& request = parser_->get();
        const WebResponse answer = server_.handler(ToWebRequest(request, client_, tls_));
        Write(answer, request.version(), request.keep_alive(),
              request.method() == http::verb::head);
    }

    void Write(const WebResponse& answer, unsigned version, bool keepAlive, bool head) {
        response_ = ResponseText(answer, version, keepAlive, head);
        beast::get_lowest_layer(stream_).expires_after(server_.config.writeTimeout);
        asio::async_write(
            stream_, asio::buffer(response_),
            [self = this->shared_from_this(), keepAlive](beast::error_code error, std::size_t) {
                if (error || !keepAlive) return self->Close();
                self->Read();
            });
    }

    void Close() {
        beast::error_code ignored;
        auto& socket = beast::get_lowest_layer(stream_).socket();
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }

    WebServer::Impl& server_;
    Stream stream_;
    std::string client_;
    bool tls_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string response_;
};

}  // namespace

void WebServer::Impl::Accept() {
    asio::io_context& next = *contexts[nextContext++ % contexts.size()];
    acceptor->async_accept(next, [this, &next](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted) return;
        if (!error) {
            beast::error_code ignored;
            const auto peer = socket.remote_endpoint(ignored);
            // Past the most connections a new one is closed at once: the
            // ones being served keep their threads and their memory.
            if (++connections > config.maxConnections) {
                --connections;
                socket.close(ignored);
            } else {
                const std::string client = ignored ? "?" : peer.address().to_string();
                // Started on its own thread, where all its steps run.
#ifdef KORVANE_WEB_TLS
                if (tls) {
                    asio::post(
                        next,
                        [connection =
                             std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(
                                 *this,
                                 beast::ssl_stream<beast::tcp_stream>(std::move(socket), *tls),
                                 client, true)] { connection->Start(); });
                } else
#endif
                {
                    asio::post(next, [connection = std::make_shared<Connection<beast::tcp_stream>>(
                                          *this, beast::tcp_stream(std::move(socket)), client,
                                          false)] { connection->Start(); });
                }
            }
        }
        Accept();
    });
}

WebServer::WebServer(ServerConfig config, Handler handler)
    : config_(std::move(config)), handler_(std::move(handler)) {}

WebServer::~WebServer() {
    Stop();
}

std::string WebServer::Start() {
    if (impl_) return {};
    auto impl = std::make_unique<Impl>(config_, handler_);
    beast::error_code error;
#ifdef KORVANE_WEB_TLS
    if (!config_.certificateFile.empty()) {
        impl->tls.emplace(asio::ssl::context::tls_server);
        impl->tls->set_options(asio::ssl::context::default_workarounds |
                               asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                               asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
        impl->tls->use_certificate_chain_file(config_.certificateFile, error);
        if (!error)
            impl->tls->use_private_key_file(config_.keyFile, asio::ssl::context::pem, error);
        if (error) return "Certificat ou clé TLS illisible : " + error.message();
    }
#else
    if (!config_.certificateFile.empty()) return "HTTPS n'est pas disponible dans cette version.";
#endif
    const auto address = asio::ip::make_address(config_.address, error);
    if (error) return "Adresse d'écoute invalide : " + config_.address;
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(config_.port));
    impl->acceptor.emplace(*impl->contexts.front());
    impl->acceptor->open(endpoint.protocol(), error);
    if (!error) impl->acceptor->set_option(asio::socket_base::reuse_address(true), error);
    if (!error) impl->acceptor->bind(endpoint, error);
    if (!error) impl->acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        return "Le port " + std::to_string(config_.port) +
               " ne peut pas être ouvert : " + error.message();
    }
    impl->Accept();
    for (const auto& context : impl->contexts) {
        impl->threads.emplace_back([io = context.get()] { io->run(); });
    }
    impl_ = std::move(impl);
    return {};
}

void WebServer::Stop() {
    if (!impl_) return;
    for (const auto& context : impl_->contexts) context->stop();
    for (std::thread& thread : impl_->threads) thread.join();
    impl_.reset();
}

bool WebServer::Running() const {
    return impl_ != nullptr;
}

int WebServer::Port() const {
    if (!impl_) return 0;
    beast::error_code ignored;
    return impl_->acceptor->local_endpoint(ignored).port();
}

std::size_t WebServer::Connections() const {
    return impl_ ? impl_->connections.load() : 0;
}

}  // namespace korvane::web
