// The checks every request passes before the API looks at it: the Host
// header (DNS rebinding: a page of another site whose name was pointed at
// this machine's address sends that name), the Origin of requests that act
// (cross-site requests), and the headers every response carries.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "korvane/web/webrequest.h"
#include "utils.h"

namespace korvane::web {

// The names a Host header may give, port aside: this machine's addresses,
// "localhost", 127.0.0.1, [::1], its own host name, and the names the user
// allowed; letter case ignored.
struct HostRule {
    toolkit::TextList addresses;  // dotted
    toolkit::TextList names;      // lower case
};
// This machine's: its address table and host name, and `allowed`.
HostRule LocalHostRule(const toolkit::TextList& allowed);
// The host part of a Host header ("pc:8765" -> "pc", "[::1]:80" -> "[::1]"),
// lower-cased; nothing when the header is malformed (a bad port, blanks,
// user info, a path).
std::optional<std::string> HostName(std::string_view header);
bool HostAllowed(const HostRule& rule, std::string_view header);

// An Origin header names this server when it is the request's own scheme and
// Host, exactly (letter case of the host aside). "null" and any other origin
// do not.
bool SameOrigin(std::string_view origin, std::string_view host, bool tls);

// Percent-decoding of one path segment; nothing for a malformed escape, a
// NUL, or a "/" (which an encoded segment may not smuggle in).
std::optional<std::string> DecodeSegment(std::string_view segment);
// The value of a query parameter (decoded, "+" as a blank), or nothing.
std::optional<std::string> QueryValue(std::string_view query, std::string_view name);
// The value of cookie `name` in a Cookie header.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);
// The token of "Authorization: Bearer TOKEN", or nothing.
std::optional<std::string> BearerToken(std::string_view header);

// Adds the headers every response carries: Content-Security-Policy
// (default-src 'self', no framing), X-Content-Type-Options, Referrer-Policy,
// X-Frame-Options, Cache-Control (no-store for all but the page's files).
void AddSecurityHeaders(WebResponse& response, bool cacheable);

// A JSON error body with the French message, {"erreur": "..."}.
WebResponse ErrorResponse(int status, const std::string& message);

}  // namespace korvane::web
