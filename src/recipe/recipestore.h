// SPDX-License-Identifier: MIT
#pragma once
// Recipes and work orders in the history database (SQLite or the line's
// PostgreSQL), in tables of their own beside the attempts. Every value
// reaches the database bound. Failures are values; no message is shown
// here. A store is one connection and belongs to the thread that opened it.

#include "history/historyerror.h"
#include "history/historylocation.h"
#include "recipe/recipe.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class RecipeStore {
  public:
    // Opens the history's database, bringing its recipe and order tables
    // up to date.
    static HistoryResult<std::unique_ptr<RecipeStore>> open(const HistoryLocation& where);
    ~RecipeStore();
    RecipeStore(const RecipeStore&) = delete;
    RecipeStore& operator=(const RecipeStore&) = delete;

    // Publishes `recipe` under its name with the next version, released;
    // returns the version. Its sha256 is computed here from its bytes.
    HistoryResult<int> publish(const Recipe& recipe);
    // The recipe, with its firmware; for no version the newest released.
    // None when there is no such recipe. The firmware is checked against
    // its SHA-256 when read: a mismatch is an error, never a recipe.
    HistoryResult<std::optional<Recipe>> find(const RecipeRef& ref);
    // Every version of every recipe, without firmware (its size in
    // `firmwareSize`), newest first per name.
    struct Listed {
        Recipe recipe; // firmware left empty
        int64_t firmwareSize = 0;
    };
    HistoryResult<std::vector<Listed>> list();
    // Retires NAME@VERSION: it runs no more. Returns false when there is none.
    HistoryResult<bool> retire(const std::string& name, int version);
    // Adds a recipe as exported elsewhere, keeping its version and its
    // publishing fields. Refused when that NAME@VERSION is there with other bytes.
    HistoryStatus import(const Recipe& recipe);

    // The state of NAME@VERSION; none when there is no such recipe.
    HistoryResult<std::optional<RecipeState>> stateOf(const std::string& name, int version);

    // Opens an order of `quantity` units of NAME@VERSION, which must be
    // released. Refused when an order of that name exists.
    HistoryStatus openOrder(const WorkOrder& order);
    HistoryResult<bool> closeOrder(const std::string& name);
    HistoryResult<std::optional<WorkOrder>> order(const std::string& name);
    HistoryResult<std::vector<WorkOrder>> orders();
    HistoryResult<std::vector<OrderStationCount>> orderStations(const std::string& name);

    // A place in the order for the unit `unitKey` (of the attempt
    // `attemptKey`, from `station`), in one atomic statement: however many
    // processes and stations ask at once, no more than the quantity are
    // ever taken. A unit that holds a place already keeps it (Taken).
    HistoryResult<PlaceAnswer> takePlace(const std::string& order, const std::string& unitKey,
                                         const std::string& attemptKey, const std::string& station);
    // The unit completed: its place is kept for good.
    HistoryStatus keepPlace(const std::string& order, const std::string& unitKey);
    // The unit failed or was stopped: its place is free again.
    HistoryStatus givePlace(const std::string& order, const std::string& unitKey);

  private:
    RecipeStore();
    struct Impl; // recipedb.h
    std::unique_ptr<Impl> m;
};

} // namespace quill
