// The certificate of the HTTPS access (Linux): made at first use in the
// program folder ("acces-web.crt", and its key "acces-web.key", mode 0600),
// self-signed, an ECDSA P-256 key, valid ten years, naming localhost, this
// machine's name and addresses; or the user's own files. Its SHA-256
// fingerprint is what the preferences show, to compare with the browser's.
#pragma once

#include <string>

#include "korvane/core/webaccess.h"

namespace korvane::web {

inline constexpr const char* kCertificateFile = "acces-web.crt";
inline constexpr const char* kKeyFile = "acces-web.key";

struct TlsFiles {
    std::string certificate;
    std::string key;
    std::string fingerprint;  // "AB:CD:..." (SHA-256 of the certificate)
    std::string problem;      // French; the others empty then
};

// The files to serve with, made when the choice is Auto and they are
// missing; nothing (no problem either) when the choice is Off.
TlsFiles PrepareTls(const std::string& programDir, const WebAccessSettings& settings);
// The SHA-256 fingerprint of a PEM certificate file; empty when unreadable.
std::string CertificateFingerprint(const std::string& path);

}  // namespace korvane::web
