// SPDX-License-Identifier: MIT
#include "cli/historylist.h"

#include "cli/clitexts.h"
#include "history/historyformat.h"
#include "history/historylocation.h"
#include "history/historystore.h"

namespace quill::cli {

namespace {

// Written out a piece at a time: a long listing is never held whole.
constexpr size_t PieceBytes = 64 * 1024;

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
    filter.tableOnly = !o.csv && !o.json;
    const auto where = historyLocation(settings, o.historyUrl);
    auto store = where ? HistoryStore::open(*where)
                       : HistoryResult<std::unique_ptr<HistoryStore>>(where.error());
    if (!store) {
        console.error(store.error().text());
        return ExitCode::HistoryFailed;
    }
    std::string piece;
    HistoryTable table;
    const auto write = [&] {
        std::fwrite(piece.data(), 1, piece.size(), out);
        piece.clear();
    };
    if (o.csv) {
        appendCsvHeader(piece);
    }
    const HistoryStatus failed = (*store)->each(filter, [&](const Attempt& a) {
        if (o.csv) {
            appendCsv(piece, a);
        } else if (o.json) {
            appendJsonLine(piece, a);
        } else {
            table.add(a);
        }
        if (piece.size() >= PieceBytes) {
            write();
        }
    });
    if (!o.csv && !o.json) {
        piece = table.text();
    }
    write();
    std::fflush(out);
    if (failed) {
        console.error(failed->text());
        return ExitCode::HistoryFailed;
    }
    return ExitCode::Complete;
}

} // namespace quill::cli
