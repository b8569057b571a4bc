// SPDX-License-Identifier: MIT
// The unlock line's salt and PBKDF2 from Windows' own cryptography (CNG):
// the Windows build has no OpenSSL.
#include "lock/unlockcrypto.h"

#include <windows.h>

#include <bcrypt.h>

namespace quill::unlockcrypto {
namespace {

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

// The HMAC-SHA256 provider, closed whatever happens.
class HmacSha256 {
  public:
    HmacSha256() {
        if (!succeeded(BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                   BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
            m_algorithm = nullptr;
        }
    }
    ~HmacSha256() {
        if (m_algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(m_algorithm, 0);
        }
    }
    HmacSha256(const HmacSha256&) = delete;
    HmacSha256& operator=(const HmacSha256&) = delete;
    BCRYPT_ALG_HANDLE handle() const { return m_algorithm; }

  private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
};

} // namespace

bool randomBytes(unsigned char* out, size_t count) {
    return succeeded(
        BCryptGenRandom(nullptr, out, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool pbkdf2Sha256(const std::string& password, const unsigned char* salt, size_t saltSize,
                  int iterations, unsigned char* out, size_t outSize) {
    const HmacSha256 prf;
    if (prf.handle() == nullptr || iterations <= 0) {
        return false;
    }
    // CNG takes non-const buffers that it only reads.
    auto* passwordBytes = reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
    return succeeded(BCryptDeriveKeyPBKDF2(
        prf.handle(), passwordBytes, static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt),
        static_cast<ULONG>(saltSize), static_cast<ULONGLONG>(iterations), out,
        static_cast<ULONG>(outSize), 0));
}

} // namespace quill::unlockcrypto
