// SPDX-License-Identifier: MIT
// What recipes and work orders cost: loading a 1 MiB recipe's firmware
// (RecipeStore::find, its SHA-256 checked) and taking a place in an order
// (then giving it back, so that the order never fills), in SQLite and in
// PostgreSQL. Goals: a load under 50 ms, a place under 5 ms.
//
//     cmake --preset bench && cmake --build build/bench --target quill_recipe_bench
//     build/bench/bench/quill_recipe_bench

#include "pgserver.h"
#include "recipe/recipestore.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>
#include <random>

using namespace quill;

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

PgServer& server() {
    static PgServer pg;
    return pg;
}

// A store with a 1 MiB recipe "bench@1" and an order "WO" of it, on
// SQLite or PostgreSQL.
std::unique_ptr<RecipeStore> prepared(benchmark::State& state, bool postgres) {
    static int n = 0;
    const auto where =
        postgres ? parseHistoryUrl(server().url(server().newDatabase()))
                 : HistoryResult<HistoryLocation>(sqliteHistory(
                       scratch().filePath(QStringLiteral("r%1.sqlite").arg(++n)).toStdString()));
    auto store = where ? RecipeStore::open(*where)
                       : HistoryResult<std::unique_ptr<RecipeStore>>(where.error());
    if (!store) {
        state.SkipWithError(store.error().text().c_str());
        return nullptr;
    }
    Recipe r;
    r.name = "bench";
    r.firmware.resize(1 << 20);
    std::mt19937 random(7);
    for (uint8_t& byte : r.firmware) {
        byte = uint8_t(random());
    }
    r.settings.baud = 38400;
    WorkOrder order;
    order.name = "WO";
    order.recipeName = "bench";
    order.recipeVersion = 1;
    order.quantity = 1000;
    if (!(*store)->publish(r) || (*store)->openOrder(order)) {
        state.SkipWithError("no recipe or order");
        return nullptr;
    }
    return std::move(*store);
}

void load(benchmark::State& state) {
    const auto store = prepared(state, state.range(0) != 0);
    for (auto _ : state) {
        if (!store) {
            break;
        }
        const auto found = store->find({"bench", 1});
        if (!found || !*found || (*found)->firmware.size() != 1 << 20) {
            state.SkipWithError("not loaded");
            break;
        }
    }
}
BENCHMARK(load)->ArgName("postgres")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void takePlace(benchmark::State& state) {
    const auto store = prepared(state, state.range(0) != 0);
    int64_t unit = 0;
    for (auto _ : state) {
        if (!store) {
            break;
        }
        const std::string key = "unit-" + std::to_string(++unit);
        if (*store->takePlace("WO", key, key, "bench") != PlaceAnswer::Taken) {
            state.SkipWithError("no place");
            break;
        }
        state.PauseTiming();
        store->givePlace("WO", key);
        state.ResumeTiming();
    }
}
BENCHMARK(takePlace)->ArgName("postgres")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // Qt SQL finds its drivers through it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
