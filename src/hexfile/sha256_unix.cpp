// SPDX-License-Identifier: MIT
#include "hexfile/sha256.h"

#include <openssl/evp.h>

namespace quill {

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has
// them: a millisecond per megabyte, cheap beside reading the file.
struct Sha256::Context {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> hash{EVP_MD_CTX_new()};
};

Sha256::Sha256() : m_context(std::make_unique<Context>()) {
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset() {
    EVP_DigestInit_ex(m_context->hash.get(), EVP_sha256(), nullptr);
}

void Sha256::add(const void* bytes, size_t count) {
    EVP_DigestUpdate(m_context->hash.get(), bytes, count);
}

std::string Sha256::finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->hash.get(), digest, &length);
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0x0F];
    }
    reset();
    return text;
}

} // namespace quill
