// The access from the network: its settings, in a file of their own in the
// program folder ("acces-web.ini", mode 0600, replaced atomically), the
// administrator's password kept only as a salted PBKDF2-SHA512 hash, and the
// API tokens of scripts and home-automation hubs, kept only as their SHA-256.
//
// The file's lines are key=value, CR LF:
//   actif=oui|non              off until the user turns it on with a password set
//   port=8765
//   mot_de_passe=pbkdf2-sha512;ITERATIONS;SALT_HEX;HASH_HEX
//   hote=NAME                  one per name the Host header may also give
//   tls=auto|non|fichiers      auto: a certificate made at first use (Linux)
//   certificat=PATH, cle=PATH  the user's own, with tls=fichiers
//   jeton=ID;ROLE;CREATED;LAST_USE;SHA256_HEX;ENTRY,ENTRY;NAME
// ROLE is "admin" or "reveil"; the times are UTC texts, LAST_USE empty until
// the token is first used; NAME comes last and may hold ";".
// A damaged file turns the access off and says why; it never stops Korvane.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utils.h"

namespace korvane {

inline constexpr const char* kWebAccessFile = "acces-web.ini";
inline constexpr int kDefaultWebPort = 8765;
// OWASP's figure for PBKDF2-HMAC-SHA512 is 210 000; one derivation takes
// about 0.1 s of one core here (docs/web-securite.md): slow for a guesser,
// unnoticed by the owner logging in.
inline constexpr unsigned long kPasswordIterations = 250000;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kPasswordHashBytes = 64;
inline constexpr std::size_t kMinPasswordLength = 8;
inline constexpr std::size_t kMaxPasswordLength = 1024;
inline constexpr std::size_t kMaxTokens = 64;
inline constexpr std::size_t kMaxTokenNameLength = 64;
inline constexpr std::size_t kMaxAllowedHosts = 32;
// A token is "krv_" and the base64url of 32 random bytes: a secret scanner
// can tell it from any other.
inline constexpr const char* kTokenPrefix = "krv_";

enum class WebRole { Admin, WakeOnly };
enum class TlsChoice { Auto, Off, OwnFiles };

struct PasswordHash {
    unsigned long iterations = kPasswordIterations;
    std::string salt;  // bytes
    std::string hash;  // bytes
    bool operator==(const PasswordHash&) const = default;
};

struct ApiToken {
    std::string id;    // short, random, public: names the token in lists and URLs
    std::string name;  // the user's
    WebRole role = WebRole::WakeOnly;
    toolkit::TextList entries;  // what a "réveil seulement" token may see and wake
    std::int64_t created = 0;
    std::optional<std::int64_t> lastUse;
    std::string digest;  // SHA-256 of the token, bytes
    bool operator==(const ApiToken&) const = default;
};

struct WebAccessSettings {
    bool enabled = false;
    int port = kDefaultWebPort;
    std::optional<PasswordHash> password;
    toolkit::TextList allowedHosts;
    TlsChoice tls = TlsChoice::Auto;
    std::string certificateFile;
    std::string keyFile;
    std::vector<ApiToken> tokens;
    bool operator==(const WebAccessSettings&) const = default;
};

// What was read, and why the access is off when the file stopped it (French).
struct WebAccessRead {
    WebAccessSettings settings;
    std::string problem;
};

toolkit::TextList WebAccessLines(const WebAccessSettings& settings);
WebAccessRead ParseWebAccess(const toolkit::TextList& lines);
// A missing file: the defaults, off. An unreadable one: off, and why.
WebAccessRead LoadWebAccess(const std::string& programDir);
// Replaces the file atomically, readable by its owner only. Throws FileError.
void SaveWebAccess(const std::string& programDir, const WebAccessSettings& settings);

// Why `password` may not become the administrator's (French), or nothing.
std::optional<std::string> PasswordProblem(std::string_view password);
PasswordHash HashPassword(std::string_view password);
bool PasswordMatches(const PasswordHash& kept, std::string_view password);

// Why the settings may not be turned on (no password, a port out of range).
std::optional<std::string> EnableProblem(const WebAccessSettings& settings);

// A new token: the text given once to the user, and what is kept of it.
struct NewToken {
    std::string secret;
    ApiToken kept;
};
// Throws std::invalid_argument with a French message for a name refused.
NewToken MakeToken(std::string_view name, WebRole role, const toolkit::TextList& entries,
                   std::int64_t now);
// The kept token a secret names, or nullptr; found by its digest, compared in
// constant time.
const ApiToken* FindToken(const std::vector<ApiToken>& tokens, std::string_view secret);

const char* RoleName(WebRole role);  // "admin", "reveil"
std::optional<WebRole> ParseRole(std::string_view text);

}  // namespace korvane
