// SPDX-License-Identifier: MIT
#include "lock/unlockhash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quill {
namespace {

constexpr std::string_view scheme = "pbkdf2-sha256";
constexpr size_t saltBytes = 16;
constexpr size_t hashBytes = 32;

using Bytes = std::vector<unsigned char>;

std::string base64(const Bytes& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// Strict: the alphabet, whole groups of four, padding only at the end.
std::optional<Bytes> unbase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    const size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        const char c = text[i];
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (!ok) {
            return std::nullopt;
        }
    }
    Bytes out(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0 || static_cast<size_t>(n) < padding) {
        return std::nullopt;
    }
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

std::optional<Bytes> derive(const std::string& password, const Bytes& salt, int iterations) {
    Bytes hash(hashBytes);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(hash.size()), hash.data()) != 1) {
        return std::nullopt;
    }
    return hash;
}

struct Parsed {
    int iterations;
    Bytes salt, hash;
};

std::optional<Parsed> parse(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t end = line.find('$', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    if (fields.size() != 4 || fields[0] != scheme) {
        return std::nullopt;
    }
    Parsed p{};
    const auto [end, error] =
        std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), p.iterations);
    if (error != std::errc{} || end != fields[1].data() + fields[1].size() ||
        p.iterations < leastUnlockIterations || p.iterations > mostUnlockIterations) {
        return std::nullopt;
    }
    auto salt = unbase64(fields[2]);
    auto hash = unbase64(fields[3]);
    if (!salt || !hash || salt->size() != saltBytes || hash->size() != hashBytes) {
        return std::nullopt;
    }
    p.salt = std::move(*salt);
    p.hash = std::move(*hash);
    return p;
}

} // namespace

std::optional<std::string> makeUnlockHash(const std::string& password, int iterations) {
    Bytes salt(saltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
        return std::nullopt;
    }
    const auto hash = derive(password, salt, iterations);
    if (!hash) {
        return std::nullopt;
    }
    return std::string(scheme) + '$' + std::to_string(iterations) + '$' + base64(salt) + '$' +
           base64(*hash);
}

bool wellFormedUnlockHash(const std::string& line) {
    return parse(line).has_value();
}

UnlockCheck checkUnlockHash(const std::string& line, const std::string& password) {
    const auto parsed = parse(line);
    if (!parsed) {
        return UnlockCheck::Malformed;
    }
    const auto hash = derive(password, parsed->salt, parsed->iterations);
    if (!hash) {
        return UnlockCheck::Malformed;
    }
    return CRYPTO_memcmp(hash->data(), parsed->hash.data(), hashBytes) == 0 ? UnlockCheck::Match
                                                                            : UnlockCheck::Wrong;
}

} // namespace quill
