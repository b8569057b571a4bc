// SPDX-License-Identifier: MIT
#pragma once
// The engineer's password as the system file keeps it: never the password,
// a salted PBKDF2-HMAC-SHA256 of it,
//   pbkdf2-sha256$ITERATIONS$SALT$HASH   (salt and hash in base64)
// with 16 random salt bytes and a 32-byte hash.

#include <optional>
#include <string>

namespace quill {

inline constexpr int unlockIterations = 200'000;
// Fewer is too quick to guess; more than the most would freeze the window
// on a line that was never one of ours.
inline constexpr int leastUnlockIterations = 100'000;
inline constexpr int mostUnlockIterations = 10'000'000;

// A new line for `password` with a fresh salt; none when the system has
// no randomness to give.
std::optional<std::string> makeUnlockHash(const std::string& password,
                                          int iterations = unlockIterations);

// Whether `line` is one that makeUnlockHash makes; no password needed.
bool wellFormedUnlockHash(const std::string& line);

enum class UnlockCheck { Match, Wrong, Malformed };
// Compares in constant time; a line that is not one of ours never matches.
UnlockCheck checkUnlockHash(const std::string& line, const std::string& password);

} // namespace quill
