// SPDX-License-Identifier: MIT
#include "lock/unlockhash.h"

#include "lock/unlockcrypto.h"

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

constexpr std::string_view alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const Bytes& bytes) {
    std::string out;
    out.reserve(4 * ((bytes.size() + 2) / 3));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        const uint32_t group = uint32_t(bytes[i]) << 16 |
                               (left > 1 ? uint32_t(bytes[i + 1]) << 8 : 0) |
                               (left > 2 ? uint32_t(bytes[i + 2]) : 0);
        out += alphabet[group >> 18 & 63];
        out += alphabet[group >> 12 & 63];
        out += left > 1 ? alphabet[group >> 6 & 63] : '=';
        out += left > 2 ? alphabet[group & 63] : '=';
    }
    return out;
}

// Strict: the alphabet, whole groups of four, padding only at the end.
std::optional<Bytes> unbase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    const size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t value = 0;
        if (i < text.size() - padding) {
            value = alphabet.find(text[i]);
            if (value == std::string_view::npos) {
                return std::nullopt;
            }
        }
        group = group << 6 | uint32_t(value);
        if (i % 4 == 3) {
            out.push_back(static_cast<unsigned char>(group >> 16));
            out.push_back(static_cast<unsigned char>(group >> 8));
            out.push_back(static_cast<unsigned char>(group));
            group = 0;
        }
    }
    out.resize(out.size() - padding);
    return out;
}

std::optional<Bytes> derive(const std::string& password, const Bytes& salt, int iterations) {
    Bytes hash(hashBytes);
    if (!unlockcrypto::pbkdf2Sha256(password, salt.data(), salt.size(), iterations, hash.data(),
                                    hash.size())) {
        return std::nullopt;
    }
    return hash;
}

// Every byte looked at, whatever the first difference: how long the
// comparison takes says nothing about the hash.
bool sameBytes(const Bytes& a, const Bytes& b) {
    unsigned char difference = 0;
    for (size_t i = 0; i < hashBytes; ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
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
    if (!unlockcrypto::randomBytes(salt.data(), salt.size())) {
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
    return sameBytes(*hash, parsed->hash) ? UnlockCheck::Match : UnlockCheck::Wrong;
}

} // namespace quill
