// SPDX-License-Identifier: MIT
#pragma once
// What the unlock line takes from the system's cryptography, one file per
// system: OpenSSL's libcrypto on Unix, CNG (bcrypt) on Windows. Both give
// the same PBKDF2-HMAC-SHA256, so a line made on one unlocks on the other.

#include <cstddef>
#include <string>

namespace quill::unlockcrypto {

// `count` bytes from the system's random source; false when it has none.
bool randomBytes(unsigned char* out, size_t count);

// PBKDF2-HMAC-SHA256 of the password's bytes as they stand (UTF-8 from
// the terminal on both systems); false when the system refuses.
bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltSize,
                  int iterations, unsigned char* out, size_t outSize);

} // namespace quill::unlockcrypto
