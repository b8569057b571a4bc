// SPDX-License-Identifier: MIT
#pragma once
// What quill-cli shows of recipes and work orders: a table for a person,
// CSV (--csv) and JSON lines (--json) for machines, every field of one
// recipe (--recipe-show). Never the firmware's bytes.

#include "shared/exitcodes.h"

#include <cstdio>

namespace quill {
class RecipeStore;
}

namespace quill::cli {

class Console;
struct CliOptions;

ExitCode listRecipes(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console);
ExitCode showRecipe(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console);
ExitCode listOrders(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console);

} // namespace quill::cli
