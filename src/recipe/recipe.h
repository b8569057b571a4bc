// SPDX-License-Identifier: MIT
#pragma once
// A recipe: everything a station needs to flash one product, decided once
// by the line's engineer and published under a name and a version, and a
// work order: a quantity of units of one recipe version, shared by every
// station that writes the same history. Both live in the history database.
// Pure data: the store is recipestore.h.

#include "run/runrequest.h"
#include "unitserial/serialnumber.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class RecipeState : uint8_t { Released, Retired };

// What a recipe fixes of a run, besides its firmware.
struct RecipeSettings {
    int16_t device = 0; // device_manual or device_tracker
    int32_t baud = 0;
    Risks risks; // --allow-no-end-record, --allow-records-after-end
    int idleTimeoutSeconds = defaultIdleTimeoutSeconds;
    int settleMs = defaultSettleMs;
    SerialRequest serial; // no address: no number is written

    bool operator==(const RecipeSettings&) const;
};

struct Recipe {
    std::string name;
    int version = 0;               // 1, 2, ... per name, given when published
    std::vector<uint8_t> firmware; // the file's bytes exactly as published
    std::string fileName;          // the name (not the path) the engineer's file had
    std::string sha256;            // of `firmware`, lower-case hex
    RecipeSettings settings;
    std::string note;
    std::string publishedBy; // the login name, or the one given
    std::string station;     // the host it was published from
    int64_t publishedMs = 0; // UTC ms since the epoch
    RecipeState state = RecipeState::Released;

    // "NAME@VERSION"
    std::string id() const;
};

// "NAME" or "NAME@VERSION" as typed; none when it is neither (an empty
// name, a version that is not a positive number).
struct RecipeRef {
    std::string name;
    std::optional<int> version; // none: the newest released
};
std::optional<RecipeRef> recipeRefFromText(std::string_view text);

// A recipe's or an order's name: printable UTF-8, no '@', no blank at
// either end, at most maxNameBytes. What is wrong with it, or none.
inline constexpr size_t maxNameBytes = 100;
const char* nameProblem(std::string_view name);

enum class OrderState : uint8_t { Open, Closed };

struct WorkOrder {
    std::string name; // typically the order number on the traveller
    std::string recipeName;
    int recipeVersion = 0;
    int64_t quantity = 0;
    OrderState state = OrderState::Open;
    std::string openedBy;
    std::string station;
    int64_t openedMs = 0;
    int64_t done = 0;       // units complete: they keep their places
    int64_t inProgress = 0; // places taken by units not ended yet

    int64_t remaining() const { return quantity - done - inProgress; }
};

// One station's share of an order, for --work-orders.
struct OrderStationCount {
    std::string station;
    int64_t done = 0;
    int64_t inProgress = 0;
};

// What asking for a place in an order came to.
enum class PlaceAnswer : uint8_t {
    Taken,   // the unit holds a place now (or held it already)
    Full,    // every place is taken: the unit must not be flashed
    Closed,  // the order is closed: it runs nothing
    NoOrder, // no order of that name
};

} // namespace quill
