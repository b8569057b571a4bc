// SPDX-License-Identifier: MIT
#pragma once
// quill-cli's commands for the line's engineer: recipes (publish, list,
// show, retire, export, import) and work orders (open, list, close), in
// the history's database. Each reads its options here, runs, and ends with
// an exit code: 2 for what the command line gets wrong, 11 when the
// history fails, the file check's own for a hex file Quill would refuse.

#include "platform/settingsstore.h"
#include "shared/exitcodes.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class Option;
}

namespace quill::cmdline {
class CommandLine;
}

namespace quill::cli {

class Console;
struct CliOptions;

struct RecipeCommand {
    enum class Kind {
        None,
        Publish,
        List,
        Show,
        Retire,
        Export,
        Import,
        OpenOrder,
        Orders,
        CloseOrder
    };
    Kind kind = Kind::None;
    std::string name; // the recipe (NAME, NAME@VERSION) or the order
    std::string file; // --recipe-export's and --recipe-import's file
    std::string note;
    int64_t quantity = 0;
};

struct RecipeOptions {
    CLI::Option *publish, *list, *show, *retire, *exportTo, *importFrom, *openOrder, *orders,
        *closeOrder, *recipe, *quantity, *note;
};

RecipeOptions declareRecipeOptions(cmdline::CommandLine& cl);
// Reads them into o.recipes, and o.action when a command is given, with
// the positional arguments (`files`) it takes. False when none is given:
// the rest of the command line is read as before.
bool readRecipeOptions(cmdline::CommandLine& cl, CliOptions& o, const RecipeOptions& r,
                       const std::vector<std::string>& files);

ExitCode runRecipeCommand(const CliOptions& o, const SettingsStore& settings, std::FILE* out,
                          Console& console);

} // namespace quill::cli
