// SPDX-License-Identifier: MIT
#pragma once
// A run of a recipe or of a work order's recipe: what the recipe fixes
// goes into the run's request, and an option asked otherwise is refused,
// named with the recipe's value. Pure: the history's database is read by
// the run (runnerrecipe.cpp).

#include "recipe/recipe.h"
#include "run/runrequest.h"

#include <string>
#include <vector>

namespace quill {

// How the trace and the history name a recipe's firmware: "recipe NAME@VERSION".
std::string recipeFileName(const Recipe& recipe);

// Puts what `recipe` fixes into `request` (its firmware's name, its SHA-256
// as the one expected, its settings); every option of `request` that asks
// otherwise is a problem in the returned list, and then nothing is put in.
// An option left at its default asks nothing.
std::vector<std::string> applyRecipe(RunRequest& request, const Recipe& recipe);

// The problem with running `found` when `asked` was asked for: a retired
// version is named with the released one (`released`, none when no version
// is). Empty: it runs.
std::string retiredProblem(const Recipe& found, const Recipe* released);

// "Work order 4711 is complete: 500 of 500." or, while some units still
// hold places, how many are done and how many run.
std::string orderFullText(const WorkOrder& order);

} // namespace quill
