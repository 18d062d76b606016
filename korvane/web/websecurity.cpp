#include "korvane/web/websecurity.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/platform.h"
#include "reseau.h"

namespace korvane::web {

namespace {

bool IsHostChar(char c) {
    return toolkit::IsAsciiLetter(c) || toolkit::IsAsciiDigit(c) || c == '.' || c == '-' ||
           c == '_';
}

bool IsPort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), toolkit::IsAsciiDigit)) {
        return false;
    }
    return std::stoul(std::string(text)) <= 65535;
}

int HexValue(char c) {
    if (toolkit::IsAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Decode(std::string_view text, bool plusIsBlank) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsBlank) {
            c = ' ';
        }
        if (c == '\0') return std::nullopt;
        decoded += c;
    }
    return decoded;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

HostRule LocalHostRule(const toolkit::TextList& allowed) {
    HostRule rule;
    toolkit::TextList masks;
    toolkit::LoadLocalAddressTable(rule.addresses, masks);
    const std::string own = toolkit::AsciiLower(toolkit::platform::LocalHostName());
    if (!own.empty()) {
        rule.names.push_back(own);
        rule.names.push_back(toolkit::ShortHostName(own));
    }
    for (const std::string& name : allowed) rule.names.push_back(toolkit::AsciiLower(name));
    return rule;
}

std::optional<std::string> HostName(std::string_view header) {
    std::string_view host = header;
    std::string_view port;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        port = host.substr(close + 1);
        host = host.substr(0, close + 1);
        const std::string_view inside = host.substr(1, host.size() - 2);
        if (inside.empty() || !std::all_of(inside.begin(), inside.end(), [](char c) {
                return HexValue(c) >= 0 || c == ':' || c == '.';
            })) {
            return std::nullopt;
        }
    } else {
        const auto colon = host.find(':');
        if (colon != std::string_view::npos) {
            port = host.substr(colon);
            host = host.substr(0, colon);
        }
        if (host.empty() || host.size() > 253 ||
            !std::all_of(host.begin(), host.end(), IsHostChar)) {
            return std::nullopt;
        }
    }
    if (!port.empty() && (port.front() != ':' || !IsPort(port.substr(1)))) return std::nullopt;
    return toolkit::AsciiLower(host);
}

bool HostAllowed(const HostRule& rule, std::string_view header) {
    const auto host = HostName(header);
    if (!host) return false;
    if (*host == "localhost" || *host == "127.0.0.1" || *host == "[::1]") return true;
    const auto has = [&host](const toolkit::TextList& list) {
        return std::find(list.begin(), list.end(), *host) != list.end();
    };
    return has(rule.addresses) || has(rule.names);
}

bool SameOrigin(std::string_view origin, std::string_view host, bool tls) {
    if (host.empty()) return false;
    const std::string expected = std::string(tls ? "https://" : "http://") + std::string(host);
    return toolkit::EqualsIgnoreCase(origin, expected);
}

std::optional<std::string> DecodeSegment(std::string_view segment) {
    auto decoded = Decode(segment, false);
    if (!decoded || decoded->find('/') != std::string::npos) return std::nullopt;
    return decoded;
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            return Decode(equals == std::string_view::npos ? "" : pair.substr(equals + 1), true);
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const auto semicolon = header.find(';');
        const std::string_view pair = TrimBlanks(header.substr(0, semicolon));
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return std::string(pair.substr(equals + 1));
        }
        if (semicolon == std::string_view::npos) break;
        header.remove_prefix(semicolon + 1);
    }
    return std::nullopt;
}

std::optional<std::string> BearerToken(std::string_view header) {
    header = TrimBlanks(header);
    if (header.size() < 7 || !toolkit::EqualsIgnoreCase(header.substr(0, 7), "bearer ")) {
        return std::nullopt;
    }
    const std::string_view token = TrimBlanks(header.substr(7));
    if (token.empty()) return std::nullopt;
    return std::string(token);
}

void AddSecurityHeaders(WebResponse& response, bool cacheable) {
    response.Add("Content-Security-Policy",
                 "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'");
    response.Add("X-Content-Type-Options", "nosniff");
    response.Add("Referrer-Policy", "no-referrer");
    response.Add("X-Frame-Options", "DENY");
    response.Add("Cross-Origin-Opener-Policy", "same-origin");
    response.Add("Cross-Origin-Resource-Policy", "same-origin");
    response.Add("Cache-Control", cacheable ? "no-cache" : "no-store");
}

WebResponse ErrorResponse(int status, const std::string& message) {
    WebResponse response;
    response.status = status;
    response.body = nlohmann::json{{"erreur", message}}.dump(
        -1, ' ', false, nlohmann::json::error_handler_t::replace);
    return response;
}

}  // namespace korvane::web
