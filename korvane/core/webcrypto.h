// The cryptography of the access from the network, all of it from libgcrypt
// (a Debian package for Linux and for the mingw-w64 build alike): random
// bytes, SHA-256, PBKDF2-SHA512, and the constant-time comparison. Nothing
// here is home-made but the encodings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane {

// Bytes from libgcrypt's strong generator (seeded by the system's own).
std::string RandomBytes(std::size_t count);
// The 32 bytes of SHA-256.
std::string Sha256(std::string_view bytes);
// PBKDF2 with HMAC-SHA512, `length` bytes. Throws std::runtime_error when
// libgcrypt refuses (an iteration count of 0, a length of 0).
std::string Pbkdf2Sha512(std::string_view password, std::string_view salt, unsigned long iterations,
                         std::size_t length);
// True when both hold the same bytes; the time taken depends on their
// lengths only, never on where they differ.
bool ConstantTimeEqual(std::string_view a, std::string_view b);

// Lower-case hexadecimal, and back (nothing for odd lengths or other letters:
// an empty text then).
std::string HexText(std::string_view bytes);
std::string HexBytes(std::string_view text, bool& ok);
// Base64 of RFC 4648 §5 (URL and file safe), without padding.
std::string Base64Url(std::string_view bytes);

}  // namespace korvane
