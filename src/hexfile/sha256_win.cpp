// SPDX-License-Identifier: MIT
// SHA-256 through Windows' own cryptography (CNG): the core links no Qt,
// and the Windows build has no OpenSSL.
#include "hexfile/sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace quill {

struct Sha256::Context {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    Context() { BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0); }
    ~Context() {
        close();
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
    void close() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
            hash = nullptr;
        }
    }
};

Sha256::Sha256() : m_context(std::make_unique<Context>()) {
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset() {
    m_context->close();
    BCryptCreateHash(m_context->algorithm, &m_context->hash, nullptr, 0, nullptr, 0, 0);
}

void Sha256::add(const void* bytes, size_t count) {
    // BCryptHashData takes at most 4 GiB a call.
    auto* at = static_cast<PUCHAR>(const_cast<void*>(bytes));
    while (count > 0) {
        const ULONG piece = count > 0x40000000 ? 0x40000000 : ULONG(count);
        BCryptHashData(m_context->hash, at, piece, 0);
        at += piece;
        count -= piece;
    }
}

std::string Sha256::finish() {
    UCHAR digest[32] = {};
    BCryptFinishHash(m_context->hash, digest, sizeof digest, 0);
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * sizeof digest);
    for (const UCHAR byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    reset();
    return text;
}

} // namespace quill
