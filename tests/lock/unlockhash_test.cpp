// SPDX-License-Identifier: MIT
// The engineer's password line: the same on every system (a line made on
// Linux unlocks a station on Windows), a salt of its own each time, and a
// line that is not one of ours never matches.

#include "lock/unlockhash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

// Made on Linux: "open sesame" with the salt 00 01 .. 0f, and "Grüße" (its
// UTF-8 bytes) with the salt "quill-salt-16byt", 100000 iterations each.
const std::string sesame =
    "pbkdf2-sha256$100000$AAECAwQFBgcICQoLDA0ODw==$Y3hpdPa+i2v3a1Z4DNYiCV63ynzfC/p7G853gmKZ2ag=";
const std::string greetings =
    "pbkdf2-sha256$100000$cXVpbGwtc2FsdC0xNmJ5dA==$64i2p2NfSzAVbury8WP3u8T56512RchmZXQ2MObzWZw=";

TEST(UnlockHash, ALineMadeElsewhereUnlocksWithItsPasswordAlone) {
    EXPECT_EQ(checkUnlockHash(sesame, "open sesame"), UnlockCheck::Match);
    EXPECT_EQ(checkUnlockHash(sesame, "open sesame!"), UnlockCheck::Wrong);
    EXPECT_EQ(checkUnlockHash(sesame, "Open sesame"), UnlockCheck::Wrong);
    EXPECT_EQ(checkUnlockHash(greetings, "Gr\xc3\xbc\xc3\x9f"
                                         "e"),
              UnlockCheck::Match);
    EXPECT_EQ(checkUnlockHash(greetings, "Grusse"), UnlockCheck::Wrong);
}

TEST(UnlockHash, EachLineHasItsOwnSaltAndEnoughIterations) {
    const std::string first = makeUnlockHash("open sesame").value();
    const std::string second = makeUnlockHash("open sesame").value();
    const auto fields = [](const std::string& line) {
        std::vector<std::string> f;
        for (size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
            end = line.find('$', at);
            f.push_back(line.substr(at, end - at));
        }
        return f;
    };
    ASSERT_EQ(fields(first).size(), 4U);
    EXPECT_EQ(fields(first)[0], "pbkdf2-sha256");
    EXPECT_GE(std::stoi(fields(first)[1]), 100000);
    EXPECT_EQ(fields(first)[2].size(), 24U); // 16 bytes
    EXPECT_EQ(fields(first)[3].size(), 44U); // 32 bytes
    EXPECT_NE(fields(first)[2], fields(second)[2]);
    EXPECT_NE(fields(first)[3], fields(second)[3]);
    EXPECT_TRUE(wellFormedUnlockHash(first));
    EXPECT_EQ(checkUnlockHash(first, "open sesame"), UnlockCheck::Match);
    EXPECT_EQ(checkUnlockHash(second, "open sesame!"), UnlockCheck::Wrong);
}

TEST(UnlockHash, ALineThatIsNotOneOfOursNeverMatches) {
    const std::string salt = "AAECAwQFBgcICQoLDA0ODw==";
    const std::string hash = "Y3hpdPa+i2v3a1Z4DNYiCV63ynzfC/p7G853gmKZ2ag=";
    for (const std::string& line : std::vector<std::string>{
             sesame.substr(0, sesame.size() - 1),                     // cut short
             "pbkdf2-sha1$100000$" + salt + '$' + hash,               // another scheme
             "pbkdf2-sha256$99999$" + salt + '$' + hash,              // too few iterations
             "pbkdf2-sha256$100000x$" + salt + '$' + hash,            // not a number
             "pbkdf2-sha256$100000$AAECAwQFBgcICQoLDA0O$" + hash,     // a 15-byte salt
             "pbkdf2-sha256$100000$AAECAwQFBgcICQoLDA0ODw=A$" + hash, // padding inside
             "pbkdf2-sha256$100000$AAECAwQFBgcICQoLDA0OD*==$" + hash, // not base64
             "pbkdf2-sha256$100000$" + salt + '$' + hash + "$x",      // a field more
             ""}) {
        EXPECT_FALSE(wellFormedUnlockHash(line)) << line;
        EXPECT_EQ(checkUnlockHash(line, "open sesame"), UnlockCheck::Malformed) << line;
    }
}

} // namespace
} // namespace quill
