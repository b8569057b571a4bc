// SPDX-License-Identifier: MIT
// The unlock line's salt and PBKDF2 from OpenSSL's libcrypto.
#include "lock/unlockcrypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace quill::unlockcrypto {

bool randomBytes(unsigned char* out, size_t count) {
    return RAND_bytes(out, static_cast<int>(count)) == 1;
}

bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltSize,
                  int iterations, unsigned char* out, size_t outSize) {
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                             static_cast<int>(saltSize), iterations, EVP_sha256(),
                             static_cast<int>(outSize), out) == 1;
}

} // namespace quill::unlockcrypto
