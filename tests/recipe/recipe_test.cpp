// SPDX-License-Identifier: MIT
// Recipes in the history: what is published is what is read back, byte for
// byte, or nothing; versions; retiring; export and import.

#include "recipe/recipeexport.h"
#include "recipe/recipetexts.h"
#include "recipedbs.h"
#include "testtext.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace quill::test {
namespace {

// CR LF, a lone CR, NUL, bytes that are no UTF-8, and a high byte at the end.
const std::string oddBytes = std::string(":00000001FF\r\n\0\xff\x80\xc3\x28\r\x7f;", 22) + "\xfe";

using RecipeStoreTest = RecipeDb;

std::string sha256Of(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

TEST_P(RecipeStoreTest, KeepsTheFirmwareByteForByteAndGivesVersionsInTurn) {
    Recipe r = recipeOf("shelf-ctl", oddBytes);
    r.settings.serial.address = 0x08001000;
    r.settings.serial.format = SerialFormat::Ascii;
    r.settings.serial.series = "shelf";
    r.note = "rev C";
    ASSERT_EQ(*store->publish(r), 1);
    ASSERT_EQ(*store->publish(recipeOf("shelf-ctl", "v2")), 2);
    ASSERT_EQ(*store->publish(recipeOf("other", "x")), 1);

    const auto first = store->find({"shelf-ctl", 1});
    ASSERT_TRUE(first.ok() && *first);
    EXPECT_EQ(std::string((*first)->firmware.begin(), (*first)->firmware.end()), oddBytes);
    EXPECT_EQ((*first)->sha256, sha256Of(oddBytes));
    EXPECT_TRUE((*first)->settings == r.settings);
    EXPECT_EQ((*first)->note, "rev C");
    // Without a version, the newest released; retired, the one before.
    EXPECT_EQ((**store->find({"shelf-ctl", {}})).version, 2);
    EXPECT_TRUE(*store->retire("shelf-ctl", 2));
    EXPECT_FALSE(*store->retire("shelf-ctl", 9));
    EXPECT_EQ((**store->find({"shelf-ctl", {}})).version, 1);
    EXPECT_EQ((**store->find({"shelf-ctl", 2})).state, RecipeState::Retired);
    EXPECT_FALSE(*store->find({"nothing", {}}));
    const auto listed = store->list();
    ASSERT_EQ(listed->size(), 3u);
    EXPECT_EQ((*listed)[1].recipe.id(), "shelf-ctl@2");
    EXPECT_EQ((*listed)[2].firmwareSize, int64_t(oddBytes.size()));
}

TEST_P(RecipeStoreTest, RefusesFirmwareChangedInTheDatabase) {
    ASSERT_TRUE(store->publish(recipeOf("shelf-ctl", oddBytes)).ok());
    std::string changed = oddBytes;
    changed[5] ^= 0x01;
    sqlAside(QStringLiteral("UPDATE quill_recipe SET firmware = ?"),
             {QByteArray(changed.data(), qsizetype(changed.size()))});
    const auto found = store->find({"shelf-ctl", 1});
    ASSERT_FALSE(found.ok());
    EXPECT_NE(found.error().why.find(text::RecipeDamaged), std::string::npos);
    EXPECT_FALSE(store->find({"shelf-ctl", {}}).ok());
}

TEST_P(RecipeStoreTest, OlderHistoryGetsTheTablesAndRefusesAListFile) {
    // A history made before recipes: only the attempts' tables.
    QTemporaryDir dir;
    const HistoryLocation older =
        sqliteHistory(dir.filePath(QStringLiteral("old.sqlite")).toStdString());
    ASSERT_TRUE(HistoryStore::open(older).ok());
    auto opened = RecipeStore::open(older);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(*(*opened)->publish(recipeOf("a", "1")), 1);

    Recipe listed = recipeOf("b", "1");
    listed.settings.serial.address = 0x100;
    listed.settings.serial.listFile = "/tmp/macs.txt";
    EXPECT_FALSE(store->publish(listed).ok());
}

TEST_P(RecipeStoreTest, ImportsAnExportUnchangedOrNotAtAll) {
    const Recipe r = **store->find({"shelf-ctl", *store->publish(recipeOf("shelf-ctl", oddBytes))});
    const std::string path = m_dir.filePath(QStringLiteral("shelf.json")).toStdString();
    std::string problem;
    ASSERT_TRUE(writeRecipeFile(path, r, problem)) << problem;
    const std::string exported = readFile(path);

    // A changed byte of the firmware, in base64 as the file holds it.
    std::string firmware = oddBytes;
    const std::string base64 = QByteArray::fromStdString(firmware).toBase64().toStdString();
    firmware[3] ^= 0x20;
    std::string tampered = exported;
    tampered.replace(tampered.find(base64), base64.size(),
                     QByteArray::fromStdString(firmware).toBase64().toStdString());
    writeFile(path, tampered);
    EXPECT_FALSE(readRecipeFile(path, problem));
    EXPECT_EQ(problem, text::RecipeShaMismatch);

    writeFile(path, exported);
    auto read = readRecipeFile(path, problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_FALSE(store->import(*read)) << "the same bytes again change nothing";
    Recipe other = *read;
    other.firmware.push_back('!');
    EXPECT_TRUE(store->import(other)) << "a firmware that is not its SHA-256 is refused";
    other.sha256 = sha256Of(oddBytes + "!");
    const HistoryStatus refused = store->import(other);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->why, "shelf-ctl@1" + std::string(text::RecipeOtherBytes));
    other.name = "elsewhere";
    EXPECT_FALSE(store->import(other));
    EXPECT_EQ((**store->find({"elsewhere", 1})).firmware, other.firmware);
}

INSTANTIATE_TEST_SUITE_P(Databases, RecipeStoreTest, ::testing::Bool(), RecipeDb::name);

} // namespace
} // namespace quill::test
