#include "korvane/core/webaccess.h"

#include <algorithm>
#include <stdexcept>

#include "entry_names.h"
#include "korvane/core/webcrypto.h"
#include "platform/platform.h"
#include "reseau.h"
#include "utctime.h"

namespace korvane {

using toolkit::TextList;

namespace {

constexpr const char* kPasswordScheme = "pbkdf2-sha512";
// Fewer than this would be a file someone lowered by hand to weaken it.
constexpr unsigned long kMinIterations = 100000;
constexpr unsigned long kMaxIterations = 100000000;

std::vector<std::string> Fields(std::string_view text, char separator, std::size_t most) {
    std::vector<std::string> fields;
    while (fields.size() + 1 < most) {
        const auto at = text.find(separator);
        if (at == std::string_view::npos) break;
        fields.emplace_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    fields.emplace_back(text);
    return fields;
}

std::string Joined(const TextList& items, char separator) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) text += separator;
        text += item;
    }
    return text;
}

bool ParseCount(std::string_view text, unsigned long& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (const char c : text) {
        if (!toolkit::IsAsciiDigit(c)) return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

std::string PasswordLine(const PasswordHash& password) {
    return std::string(kPasswordScheme) + ";" + std::to_string(password.iterations) + ";" +
           HexText(password.salt) + ";" + HexText(password.hash);
}

std::optional<PasswordHash> ParsePassword(std::string_view text) {
    const auto fields = Fields(text, ';', 4);
    PasswordHash password;
    bool saltOk = false, hashOk = false;
    if (fields.size() != 4 || fields[0] != kPasswordScheme ||
        !ParseCount(fields[1], password.iterations) || password.iterations < kMinIterations ||
        password.iterations > kMaxIterations) {
        return std::nullopt;
    }
    password.salt = HexBytes(fields[2], saltOk);
    password.hash = HexBytes(fields[3], hashOk);
    if (!saltOk || !hashOk || password.salt.size() < 8 ||
        password.hash.size() != kPasswordHashBytes) {
        return std::nullopt;
    }
    return password;
}

std::string TokenLine(const ApiToken& token) {
    return token.id + ";" + RoleName(token.role) + ";" + toolkit::UtcText(token.created) + ";" +
           (token.lastUse ? toolkit::UtcText(*token.lastUse) : "") + ";" + HexText(token.digest) +
           ";" + Joined(token.entries, ',') + ";" + token.name;
}

bool IsTokenId(std::string_view id) {
    return id.size() == 8 && std::all_of(id.begin(), id.end(), [](char c) {
               return toolkit::IsAsciiDigit(c) || (c >= 'a' && c <= 'f');
           });
}

bool IsTokenName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxTokenNameLength &&
           std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
}

std::optional<ApiToken> ParseToken(std::string_view text) {
    const auto fields = Fields(text, ';', 7);
    if (fields.size() != 7) return std::nullopt;
    ApiToken token;
    token.id = fields[0];
    const auto role = ParseRole(fields[1]);
    const auto created = toolkit::ParseUtcText(fields[2]);
    const auto lastUse = toolkit::ParseUtcText(fields[3]);
    bool digestOk = false;
    token.digest = HexBytes(fields[4], digestOk);
    token.name = fields[6];
    if (!IsTokenId(token.id) || !role || !created || (!fields[3].empty() && !lastUse) ||
        !digestOk || token.digest.size() != 32 || !IsTokenName(token.name)) {
        return std::nullopt;
    }
    token.role = *role;
    token.created = *created;
    token.lastUse = lastUse;
    if (!fields[5].empty()) {
        for (const std::string& entry : Fields(fields[5], ',', 10000)) {
            if (!toolkit::IsValidEntryName(entry)) return std::nullopt;
            token.entries.push_back(entry);
        }
    }
    return token;
}

const char* TlsName(TlsChoice tls) {
    switch (tls) {
        case TlsChoice::Off:
            return "non";
        case TlsChoice::OwnFiles:
            return "fichiers";
        case TlsChoice::Auto:
            break;
    }
    return "auto";
}

std::optional<TlsChoice> ParseTls(std::string_view text) {
    if (text == "auto") return TlsChoice::Auto;
    if (text == "non") return TlsChoice::Off;
    if (text == "fichiers") return TlsChoice::OwnFiles;
    return std::nullopt;
}

bool ParsePort(std::string_view text, int& port) {
    unsigned long value = 0;
    if (!ParseCount(text, value) || value < 1 || value > 65535) return false;
    port = static_cast<int>(value);
    return true;
}

// One line into the settings; the French reason when it is refused.
std::optional<std::string> ReadLine(const std::string& line, WebAccessSettings& settings) {
    // Not a structured binding: clang 14 cannot capture one.
    const auto pair = toolkit::SplitKeyValue(line);
    const std::string& key = pair.first;
    const std::string& value = pair.second;
    const auto bad = [&key]() -> std::optional<std::string> {
        return "la ligne « " + key + " » est illisible";
    };
    if (key == "actif") {
        if (value != "oui" && value != "non") return bad();
        settings.enabled = value == "oui";
    } else if (key == "port") {
        if (!ParsePort(value, settings.port)) return bad();
    } else if (key == "mot_de_passe") {
        settings.password = ParsePassword(value);
        if (!settings.password) return bad();
    } else if (key == "hote") {
        if (!toolkit::IsPlainHostName(value) || settings.allowedHosts.size() >= kMaxAllowedHosts) {
            return bad();
        }
        settings.allowedHosts.push_back(toolkit::AsciiLower(value));
    } else if (key == "tls") {
        const auto tls = ParseTls(value);
        if (!tls) return bad();
        settings.tls = *tls;
    } else if (key == "certificat") {
        settings.certificateFile = value;
    } else if (key == "cle") {
        settings.keyFile = value;
    } else if (key == "jeton") {
        auto token = ParseToken(value);
        if (!token || settings.tokens.size() >= kMaxTokens) return bad();
        settings.tokens.push_back(std::move(*token));
    } else if (!key.empty() && key[0] != '#') {
        return bad();
    }
    return std::nullopt;
}

}  // namespace

const char* RoleName(WebRole role) {
    return role == WebRole::Admin ? "admin" : "reveil";
}

std::optional<WebRole> ParseRole(std::string_view text) {
    if (text == "admin") return WebRole::Admin;
    if (text == "reveil") return WebRole::WakeOnly;
    return std::nullopt;
}

TextList WebAccessLines(const WebAccessSettings& settings) {
    TextList lines{"actif=" + std::string(settings.enabled ? "oui" : "non"),
                   "port=" + std::to_string(settings.port)};
    if (settings.password) lines.push_back("mot_de_passe=" + PasswordLine(*settings.password));
    for (const std::string& host : settings.allowedHosts) lines.push_back("hote=" + host);
    lines.push_back("tls=" + std::string(TlsName(settings.tls)));
    if (!settings.certificateFile.empty())
        lines.push_back("certificat=" + settings.certificateFile);
    if (!settings.keyFile.empty()) lines.push_back("cle=" + settings.keyFile);
    for (const ApiToken& token : settings.tokens) lines.push_back("jeton=" + TokenLine(token));
    return lines;
}

// Every good line is kept, so that a file damaged in one line loses only
// that line; but a damaged file never leaves the access on.
WebAccessRead ParseWebAccess(const TextList& lines) {
    WebAccessRead read;
    for (const std::string& line : lines) {
        if (toolkit::Trim(line).empty()) continue;
        if (const auto problem = ReadLine(line, read.settings); problem && read.problem.empty()) {
            read.problem = *problem;
        }
    }
    if (read.problem.empty() && read.settings.enabled) {
        if (const auto problem = EnableProblem(read.settings)) read.problem = *problem;
    }
    if (!read.problem.empty()) {
        read.problem =
            "Accès depuis le réseau coupé : " + read.problem + " (" + kWebAccessFile + ").";
        read.settings.enabled = false;
    }
    return read;
}

WebAccessRead LoadWebAccess(const std::string& programDir) {
    const std::string path = programDir + kWebAccessFile;
    if (!toolkit::platform::FileExists(path)) return {};
    try {
        return ParseWebAccess(toolkit::LoadLines(path));
    } catch (const toolkit::FileError& error) {
        return {{}, std::string("Accès depuis le réseau coupé : ") + error.what()};
    }
}

void SaveWebAccess(const std::string& programDir, const WebAccessSettings& settings) {
    std::string bytes;
    for (const std::string& line : WebAccessLines(settings)) bytes += line + "\r\n";
    toolkit::platform::ReplacePrivateFile(programDir + kWebAccessFile, bytes);
}

std::optional<std::string> PasswordProblem(std::string_view password) {
    if (password.size() < kMinPasswordLength) {
        return "Le mot de passe doit compter au moins " + std::to_string(kMinPasswordLength) +
               " caractères.";
    }
    if (password.size() > kMaxPasswordLength) return std::string("Le mot de passe est trop long.");
    return std::nullopt;
}

PasswordHash HashPassword(std::string_view password) {
    PasswordHash kept;
    kept.salt = RandomBytes(kSaltBytes);
    kept.hash = Pbkdf2Sha512(password, kept.salt, kept.iterations, kPasswordHashBytes);
    return kept;
}

bool PasswordMatches(const PasswordHash& kept, std::string_view password) {
    if (password.size() > kMaxPasswordLength || kept.hash.empty()) return false;
    return ConstantTimeEqual(Pbkdf2Sha512(password, kept.salt, kept.iterations, kept.hash.size()),
                             kept.hash);
}

std::optional<std::string> EnableProblem(const WebAccessSettings& settings) {
    if (!settings.password) {
        return std::string(
            "aucun mot de passe n'est défini ; définissez-en un avant d'activer l'accès");
    }
    if (settings.port < 1 || settings.port > 65535) return std::string("port invalide");
    if (settings.tls == TlsChoice::OwnFiles &&
        (settings.certificateFile.empty() || settings.keyFile.empty())) {
        return std::string("le certificat ou la clé TLS n'est pas indiqué");
    }
    return std::nullopt;
}

NewToken MakeToken(std::string_view name, WebRole role, const TextList& entries, std::int64_t now) {
    if (!IsTokenName(name)) {
        throw std::invalid_argument("Nom de jeton refusé : de 1 à " +
                                    std::to_string(kMaxTokenNameLength) +
                                    " caractères, sans caractère de contrôle.");
    }
    for (const std::string& entry : entries) {
        if (!toolkit::IsValidEntryName(entry)) {
            throw std::invalid_argument("Entrée refusée pour le jeton : " + toolkit::Quoted(entry));
        }
    }
    NewToken made;
    made.secret = kTokenPrefix + Base64Url(RandomBytes(32));
    made.kept.id = HexText(RandomBytes(4));
    made.kept.name = std::string(name);
    made.kept.role = role;
    if (role == WebRole::WakeOnly) made.kept.entries = entries;
    made.kept.created = now;
    made.kept.digest = Sha256(made.secret);
    return made;
}

// Every kept digest is compared, whichever matches: the time taken does not
// tell which token was near.
const ApiToken* FindToken(const std::vector<ApiToken>& tokens, std::string_view secret) {
    if (secret.size() > 256 || secret.substr(0, 4) != kTokenPrefix) return nullptr;
    const std::string digest = Sha256(secret);
    const ApiToken* found = nullptr;
    for (const ApiToken& token : tokens) {
        if (ConstantTimeEqual(token.digest, digest)) found = &token;
    }
    return found;
}

}  // namespace korvane
