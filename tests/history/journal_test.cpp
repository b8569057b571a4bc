// SPDX-License-Identifier: MIT
// The journal left behind by a program that could not reach its history,
// then damaged, and taken over by the next: every row that can be read
// reaches the history, what cannot be read is kept aside and said, never
// deleted, and nothing read blocks or is read without end.

#include "history/historyschema.h"
#include "history/historystore.h"
#include "history/historytexts.h"
#include "history/historywriter.h"
#include "history/journal.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace quill {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(Journal, ADamagedEntryIsKeptAsideAndNoReadableRowIsLost) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string data = root / "data";
    std::ofstream(root / "h") << "a file where the history's folder goes";
    const HistoryLocation where = sqliteHistory(root / "h/history.sqlite");
    {
        HistoryWriter writer(where, {}, data);
        for (int n = 1; n <= 3; ++n) {
            const auto row = writer.begin({.startedMs = n, .port = "COM" + std::to_string(n)});
            writer.end(row, {.endedMs = n + 10, .outcome = "complete"});
        }
        writer.finish(0ms);
        EXPECT_EQ(writer.waiting().kept, 3u);
    }
    // The program's folder: a beginning and an end per row, numbered from 0.
    const fs::path program = fs::directory_iterator(Journal::folderOf(where, data))->path();
    fs::resize_file(program / "0000000000000000-b", 0);  // COM1's beginning: empty
    fs::resize_file(program / "0000000000000003-e", 40); // COM2's end: cut short
    ASSERT_EQ(::mkfifo((program / "0000000000000009-b").c_str(), 0600), 0);
    std::ofstream(program / "0000000000000010-e").close();
    fs::resize_file(program / "0000000000000010-e", 1500 * 1000 * 1000);
    EXPECT_EQ(Journal::waiting(where, data).rows, 3u); // and neither blocks nor reads all

    fs::remove(root / "h");
    HistoryWriter writer(where, {}, data);
    EXPECT_TRUE(writer.finish(10s)); // what it took over, taken to the history
    const std::vector<std::string> notes = writer.takeNotes(); // each said, in order, and why
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_NE(notes[2].find(text::JournalEntryNotFile), std::string::npos) << notes[2];
    EXPECT_NE(notes[3].find(text::JournalEntryTooBig), std::string::npos) << notes[3];
    const fs::directory_iterator aside(Journal::folderOf(where, data) + "/" +
                                       Journal::KeptAsideName);
    EXPECT_EQ(std::distance(aside, fs::directory_iterator()), 4);
    EXPECT_EQ(Journal::waiting(where, data).keptAside, 4u); // said until a person removes them
    auto store = HistoryStore::open(where);
    ASSERT_TRUE(store);
    const auto found = (*store)->query({});
    ASSERT_TRUE(found);
    std::string rows;
    for (const Attempt& a : *found) {
        rows += a.port + "=" + a.outcome + " ";
    }
    EXPECT_EQ(rows, "COM3=complete COM2=unfinished COM1=complete ");
}

// An entry a program wrote before units were kept (the columns of then,
// 27) is read: a unit of its own, reached unless its end says it never was;
// and one written before recipes.
TEST(Journal, AnEntryOfTheVersionBeforeUnitsIsRead) {
    const std::tuple<const char*, int, std::optional<int>> cases[] = {
        {"complete", 3, 1},     {"unfinished", 0, std::nullopt}, {"port_failure", 0, std::nullopt},
        {"port_failure", 2, 1}, {"usage", 0, std::nullopt},      {"no_erase_answer", 0, 1},
    };
    for (const auto& [outcome, sent, attempt] : cases) {
        SCOPED_TRACE(outcome);
        const Attempt written{.key = "k", .recordsSent = sent, .outcome = outcome};
        Attempt read;
        ASSERT_TRUE(schema::setValues(read, schema::values(written).mid(0, 27)));
        EXPECT_EQ(std::tuple(read.unitKey, read.attemptNo), std::tuple("k", attempt));
    }
    // One of the version before recipes (29 columns) keeps its unit, and has
    // no recipe and no order; one of now has both.
    const Attempt ordered{.outcome = "complete",
                          .unitKey = "u",
                          .attemptNo = 2,
                          .recipe = "sensor@3",
                          .workOrder = "4711"};
    for (const qsizetype columns : {29, 31}) {
        Attempt read;
        ASSERT_TRUE(schema::setValues(read, schema::values(ordered).mid(0, columns)));
        EXPECT_EQ(std::tuple(read.unitKey, read.attemptNo, read.recipe + read.workOrder),
                  std::tuple("u", 2, columns == 29 ? "" : "sensor@34711"));
    }
}

} // namespace
} // namespace quill
