// SPDX-License-Identifier: MIT
#include "cli/historylist.h"

#include "cli/clitexts.h"
#include "history/historyformat.h"
#include "history/historylocation.h"
#include "history/historystore.h"
#include "history/historywriter.h"
#include "history/journal.h"
#include "history/yieldformat.h"
#include "runner/runnertexts.h"

namespace quill::cli {

namespace {

using namespace std::chrono_literals;

// Written out a piece at a time: a long listing is never held whole.
constexpr size_t PieceBytes = 64 * 1024;
// How long the journal's rows are given to reach the history first.
constexpr auto takePatience = 5s;

// Rows still in the journal: how many, and since when.
void sayWaiting(const HistoryLocation& where, Console& console) {
    const Journal::Waiting waiting = Journal::waiting(where);
    if (waiting.rows > 0) {
        console.error(std::to_string(waiting.rows) +
                      (waiting.rows == 1 ? quill::text::RowWaits : quill::text::RowsWait) +
                      where.shown() + quill::text::WaitInJournal + Journal::folderOf(where) +
                      text::WaitingSince + utcTime(waiting.sinceMs.value_or(0)));
    }
}

} // namespace

ExitCode listHistory(const CliOptions& o, const SettingsStore& settings, std::FILE* out,
                     Console& console) {
    HistoryFilter filter;
    if (!o.since.empty()) {
        filter.sinceMs = parseSince(o.since);
        if (!filter.sinceMs) {
            console.error(std::string(text::ProgramName) + ": " + text::BadSince + o.since);
            return ExitCode::Usage;
        }
    }
    filter.port = o.port().value_or("");
    filter.outcome = o.outcome;
    filter.sha256Prefix = o.sha256Prefix;
    filter.batch = o.batch;
    filter.serial = o.serialValue;
    filter.recipe = o.recipe;
    filter.workOrder = o.workOrder;
    filter.tableOnly = !o.csv && !o.json && !o.yield;
    const auto where = historyLocation(settings, o.historyUrl);
    if (!where) {
        console.error(where.error().text());
        return ExitCode::HistoryFailed;
    }
    // What waits in the journal goes to the history first, for a while; an
    // entry kept aside on the way is said.
    {
        HistoryWriter writer(*where, {});
        writer.finish(takePatience);
        for (const std::string& note : writer.takeNotes()) {
            console.error(note);
        }
    }
    auto store = HistoryStore::open(*where);
    if (!store) {
        console.error(store.error().text());
        sayWaiting(*where, console);
        return ExitCode::HistoryFailed;
    }
    std::string piece;
    const auto write = [&] {
        std::fwrite(piece.data(), 1, piece.size(), out);
        piece.clear();
    };
    // A table is read twice, its columns measured first: no listing is held whole.
    HistoryTable table;
    HistoryStatus failed;
    if (o.yield) {
        YieldGroups groups(o.yieldBy);
        failed = (*store)->each(filter, [&](const Attempt& a) { groups.add(a); });
        const auto form = o.csv ? yieldCsv : o.json ? yieldJsonLines : yieldTable;
        piece = failed ? std::string() : form(groups.groups(), o.yieldBy);
    } else if (filter.tableOnly) {
        failed = (*store)->each(filter, [&](const Attempt& a) { table.measure(a); });
        table.appendCaptions(piece);
    } else if (o.csv) {
        appendCsvHeader(piece);
    }
    if (!failed && !o.yield) {
        failed = (*store)->each(filter, [&](const Attempt& a) {
            if (o.csv) {
                appendCsv(piece, a);
            } else if (o.json) {
                appendJsonLine(piece, a);
            } else {
                table.appendLine(piece, a);
            }
            if (piece.size() >= PieceBytes) {
                write();
            }
        });
    }
    write();
    std::fflush(out);
    sayWaiting(*where, console);
    if (failed) {
        console.error(failed->text());
        return ExitCode::HistoryFailed;
    }
    return ExitCode::Complete;
}

} // namespace quill::cli
