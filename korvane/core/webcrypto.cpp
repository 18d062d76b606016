#include "korvane/core/webcrypto.h"

#include <gcrypt.h>

#include <cstdint>
#include <mutex>
#include <stdexcept>

namespace korvane {

namespace {

// libgcrypt must be told its version once before any use; no secure memory
// is asked for (it needs privileges Korvane has not, and the password lives
// in ordinary strings of the window and the server anyway).
void Initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_check_version(GCRYPT_VERSION))
            throw std::runtime_error("libgcrypt trop ancienne");
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string RandomBytes(std::size_t count) {
    Initialise();
    std::string bytes(count, '\0');
    if (count > 0) gcry_randomize(bytes.data(), count, GCRY_STRONG_RANDOM);
    return bytes;
}

std::string Sha256(std::string_view bytes) {
    Initialise();
    std::string digest(32, '\0');
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), bytes.data(), bytes.size());
    return digest;
}

std::string Pbkdf2Sha512(std::string_view password, std::string_view salt, unsigned long iterations,
                         std::size_t length) {
    Initialise();
    std::string key(length, '\0');
    const gcry_error_t error =
        gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA512,
                        salt.data(), salt.size(), iterations, length, key.data());
    if (error != 0 || length == 0) {
        throw std::runtime_error(std::string("dérivation de clé refusée : ") +
                                 gcry_strerror(error));
    }
    return key;
}

bool ConstantTimeEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    // volatile: the compiler may not stop at the first difference.
    volatile unsigned char result = difference;
    return result == 0;
}

std::string HexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string HexBytes(std::string_view text, bool& ok) {
    ok = text.size() % 2 == 0;
    std::string bytes;
    for (std::size_t i = 0; ok && i < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        ok = high >= 0 && low >= 0;
        bytes += static_cast<char>(high * 16 + low);
    }
    if (!ok) bytes.clear();
    return bytes;
}

std::string Base64Url(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string text;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            text += kAlphabet[(buffer >> bits) & 63];
        }
    }
    if (bits > 0) text += kAlphabet[(buffer << (6 - bits)) & 63];
    return text;
}

}  // namespace korvane
