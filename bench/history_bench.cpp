// SPDX-License-Identifier: MIT
// What the history costs: recording one attempt (its beginning and its
// end) in SQLite and in PostgreSQL, drawing a unit's serial number from
// each, opening the SQLite history as each run of quill-cli does, listing
// 100,000 attempts with a filter in each form, what the History window asks
// and does with them, and the one pass that checks a firmware file and
// names it by its SHA-256.
//
//     cmake --preset bench && cmake --build build/bench --target quill_history_bench
//     build/bench/bench/quill_history_bench

#include "hexfile/filecheck.h"
#include "hexfile/stdhexfile.h"
#include "history/historyformat.h"
#include "history/historymodel.h"
#include "history/historyschema.h"
#include "history/historystore.h"
#include "pgserver.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace quill;

namespace {

constexpr int ListedRows = 100000;

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

std::string scratchFile(const char* name) {
    return scratch().filePath(QString::fromLatin1(name)).toStdString();
}

Attempt typical(int64_t n) {
    Attempt a;
    a.startedMs = 1796567400000 + n * 60000;
    a.station = "line-2";
    a.operatorName = "jsmith";
    a.program = "quill-cli";
    a.programVersion = "1.0.4";
    a.port = "/dev/ttyUSB";
    a.port += std::to_string(n % 8);
    if (n % 4 == 0) {
        a.port = "COM1";
    }
    a.devicePath = "/dev/ttyUSB0";
    a.baud = 38400;
    a.device = "manual";
    a.filePath = "/srv/firmware/ostrel-2.4.1.hex";
    a.fileSize = 184320;
    a.sha256 = n % 3 == 0 ? std::string(64, 'a') : std::string(64, 'b');
    a.recordsTotal = 4099;
    a.dataBytesTotal = 65536;
    a.batch = 'B';
    a.batch += std::to_string(n / 1000);
    a.unit = n % 1000;
    return a;
}

void finish(Attempt& a, int64_t n) {
    a.endedMs = a.startedMs + 41000;
    a.recordsSent = a.recordsTotal;
    a.dataBytesSent = a.dataBytesTotal;
    const bool failed = n % 10 == 0;
    a.outcome = failed ? "no_erase_answer" : "complete";
    a.exitCode = failed ? 6 : 0;
    a.lastMessage = failed ? "No response on erase flash request." : "Download complete";
}

void record(benchmark::State& state, HistoryStore& store) {
    int64_t n = 0;
    for (auto _ : state) {
        Attempt a = typical(++n);
        a.id = *store.begin(a);
        finish(a, n);
        if (store.end(a)) {
            state.SkipWithError("the end was not written");
        }
    }
}

void BM_RecordSqlite(benchmark::State& state) {
    auto store = HistoryStore::open(sqliteHistory(scratchFile("record.sqlite")));
    record(state, **store);
}
BENCHMARK(BM_RecordSqlite)->Unit(benchmark::kMillisecond);

void BM_RecordPostgres(benchmark::State& state) {
    PgServer server;
    auto store = HistoryStore::open(*parseHistoryUrl(server.url(server.newDatabase())));
    if (!store) {
        state.SkipWithError(store.error().text().c_str());
        return;
    }
    record(state, **store);
}
BENCHMARK(BM_RecordPostgres)->Unit(benchmark::kMillisecond);

// What a unit's serial number adds to its download: one statement, one commit.
void draw(benchmark::State& state, HistoryStore& store) {
    for (auto _ : state) {
        if (!store.drawSerial("bench", 1)) {
            state.SkipWithError("no number drawn");
        }
    }
}

void BM_DrawSerialSqlite(benchmark::State& state) {
    auto store = HistoryStore::open(sqliteHistory(scratchFile("draw.sqlite")));
    draw(state, **store);
}
BENCHMARK(BM_DrawSerialSqlite)->Unit(benchmark::kMillisecond);

void BM_DrawSerialPostgres(benchmark::State& state) {
    PgServer server;
    auto store = HistoryStore::open(*parseHistoryUrl(server.url(server.newDatabase())));
    if (!store) {
        state.SkipWithError(store.error().text().c_str());
        return;
    }
    draw(state, **store);
}
BENCHMARK(BM_DrawSerialPostgres)->Unit(benchmark::kMillisecond);

// What a run of quill-cli pays: open, record one attempt, close (the last
// connection to close folds the WAL back into the file).
void BM_OpenRecordCloseSqlite(benchmark::State& state) {
    const HistoryLocation where = sqliteHistory(scratchFile("run.sqlite"));
    int64_t n = 0;
    for (auto _ : state) {
        auto store = HistoryStore::open(where);
        Attempt a = typical(++n);
        a.id = *(*store)->begin(a);
        finish(a, n);
        (*store)->end(a);
    }
}
BENCHMARK(BM_OpenRecordCloseSqlite)->Unit(benchmark::kMillisecond);

void BM_OpenSqlite(benchmark::State& state) {
    const HistoryLocation where = sqliteHistory(scratchFile("open.sqlite"));
    HistoryStore::open(where);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HistoryStore::open(where));
    }
}
BENCHMARK(BM_OpenSqlite)->Unit(benchmark::kMillisecond);

// 100,000 ended attempts, written in one transaction.
const HistoryLocation& listed() {
    static const HistoryLocation where = [] {
        const HistoryLocation at = sqliteHistory(scratchFile("listed.sqlite"));
        HistoryStore::open(at);
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(QString::fromStdString(at.path));
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(schema::insertAttempt());
        for (int64_t n = 0; n < ListedRows; ++n) {
            Attempt a = typical(n);
            finish(a, n);
            for (const QVariant& value : schema::values(a)) {
                insert.addBindValue(value);
            }
            insert.exec();
            insert.finish();
        }
        db.commit();
        insert = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        return at;
    }();
    return where;
}

enum class Form { None, Table, Csv, JsonLines };

// As quill-cli --history lists: rows streamed from the store, CSV and JSON
// lines written out as they come, the table once every width is known.
void BM_List(benchmark::State& state, HistoryFilter filter, Form form) {
    auto store = HistoryStore::open(listed());
    filter.tableOnly = form == Form::Table;
    size_t rows = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        rows = bytes = 0;
        std::string out;
        HistoryTable table;
        if (form == Form::Table) { // measured first, as the listing does
            (*store)->each(filter, [&](const Attempt& a) { table.measure(a); });
            table.appendCaptions(out);
        }
        (*store)->each(filter, [&](const Attempt& a) {
            ++rows;
            if (form == Form::Table) {
                table.appendLine(out, a);
            } else if (form == Form::Csv) {
                appendCsv(out, a);
            } else if (form == Form::JsonLines) {
                appendJsonLine(out, a);
            }
            if (out.size() > 65536) { // written out
                bytes += out.size();
                out.clear();
            }
        });
        bytes += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["rows"] = double(rows);
    state.counters["MB"] = double(bytes) / 1e6;
}

HistoryFilter failed() {
    HistoryFilter f;
    f.outcome = "no_erase_answer";
    return f;
}

HistoryFilter oneBatchOnCom1() {
    HistoryFilter f;
    f.batch = "B42";
    f.port = "COM1";
    return f;
}

BENCHMARK_CAPTURE(BM_List, failed_query_only, failed(), Form::None)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, failed_table, failed(), Form::Table)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, batch_and_port_table, oneBatchOnCom1(), Form::Table)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, all_query_only, HistoryFilter{}, Form::None)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, all_table, HistoryFilter{}, Form::Table)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, all_csv, HistoryFilter{}, Form::Csv)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, all_json_lines, HistoryFilter{}, Form::JsonLines)
    ->Unit(benchmark::kMillisecond);

// The History window's question each second: the last ids again, and the
// unfinished attempts it shows (here 200 of them, none ended).
void BM_WindowPoll(benchmark::State& state) {
    auto store = HistoryStore::open(listed());
    std::vector<int64_t> watched;
    for (int64_t id = 1; id <= 200; ++id) {
        watched.push_back(id * 400);
    }
    size_t rows = 0;
    for (auto _ : state) {
        rows = (*store)->changes(ListedRows - 64, watched)->size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_WindowPoll)->Unit(benchmark::kMillisecond);

// Its first question, on its reader's thread: every attempt.
void BM_WindowFirstAnswer(benchmark::State& state) {
    auto store = HistoryStore::open(listed());
    for (auto _ : state) {
        benchmark::DoNotOptimize((*store)->changes(0, {}));
    }
}
BENCHMARK(BM_WindowFirstAnswer)->Unit(benchmark::kMillisecond);

std::vector<Attempt> everyAttempt() {
    auto store = HistoryStore::open(listed());
    return *(*store)->changes(0, {});
}

// The first answer taken into the table, on the window's thread.
void BM_WindowTake(benchmark::State& state) {
    const std::vector<Attempt> all = everyAttempt();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Attempt> answer = all;
        auto model = std::make_unique<HistoryModel>();
        state.ResumeTiming();
        model->take(std::move(answer));
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowTake)->Unit(benchmark::kMillisecond);

// A text typed into the filter, over 100,000 rows.
void BM_WindowFilter(benchmark::State& state) {
    HistoryModel model;
    model.take(everyAttempt());
    HistorySearch search(&model);
    const QString typed[] = {QStringLiteral("b4"), QStringLiteral("ttyusb3"), QString()};
    size_t n = 0;
    for (auto _ : state) {
        search.setText(typed[n++ % 3]);
        benchmark::DoNotOptimize(search.rowCount());
    }
}
BENCHMARK(BM_WindowFilter)->Unit(benchmark::kMillisecond);

// A poll's answer with one new attempt, taken into a table of 100,000 rows
// behind a filter.
void BM_WindowTakeOne(benchmark::State& state) {
    HistoryModel model;
    std::vector<Attempt> all = everyAttempt();
    Attempt next = all.front();
    model.take(std::move(all));
    HistorySearch search(&model);
    search.setText(QStringLiteral("ttyusb"));
    for (auto _ : state) {
        ++next.id;
        next.startedMs += 1000;
        model.take({next});
    }
}
BENCHMARK(BM_WindowTakeOne)->Unit(benchmark::kMillisecond);

// The whole-file check, which hashes the bytes it checks in the same pass.
void BM_FileCheck(benchmark::State& state) {
    const std::string path = scratchFile("firmware.hex");
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::WriteOnly);
    const QByteArray record = ":1000000000200020010100086C915D31183EBCD237\r\n";
    for (int64_t written = 0; written < state.range(0); written += record.size()) {
        file.write(record);
    }
    file.write(":00000001FF\r\n");
    file.close();
    StdHexFile hex;
    std::string line;
    for (auto _ : state) {
        hex.open(path);
        benchmark::DoNotOptimize(checkHexFile(hex, makeHexTable(), line));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileCheck)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // Qt SQL finds its drivers through it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
