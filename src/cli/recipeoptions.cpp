// SPDX-License-Identifier: MIT
// The options of the recipe and work-order commands, read beside the
// download's: a recipe is published with the run's own options.
#include "cli/clioptions.h"
#include "cli/recipecommands.h"
#include "cmdline/commandline.h"
#include "recipe/recipe.h"
#include "recipe/recipetexts.h"

namespace quill::cli {

namespace {

using Kind = RecipeCommand::Kind;

// "--name: what is wrong with it" when the name cannot be one.
void checkName(cmdline::CommandLine& cl, const std::string& option, const std::string& name) {
    if (const char* wrong = nameProblem(name)) {
        cl.problem(option + " " + name + ": " + wrong);
    }
}

// NAME@VERSION, the version required or not.
void checkRef(cmdline::CommandLine& cl, const std::string& option, const std::string& text,
              bool versionRequired) {
    const auto ref = recipeRefFromText(text);
    if (!ref || (versionRequired && !ref->version)) {
        cl.problem(option +
                   (versionRequired ? " needs NAME@VERSION (shelf-ctl@3), not "
                                    : " needs NAME or NAME@VERSION, not ") +
                   text);
    } else {
        checkName(cl, option, ref->name);
    }
}

} // namespace

RecipeOptions declareRecipeOptions(cmdline::CommandLine& cl) {
    RecipeOptions r{};
    r.publish = cl.option("--recipe-publish", "NAME",
                          "publish FILE as the next version of the recipe NAME in the history, "
                          "with the options given (--baud and --device required; "
                          "--allow-no-end-record, --allow-records-after-end, --idle-timeout, "
                          "--settle, --serial-at ... as for a download; no --serial-list) and "
                          "--note; the file is checked as a download checks it. Prints "
                          "NAME@VERSION and the SHA-256");
    r.note = cl.option("--note", "TEXT", "--recipe-publish: the product, the reason");
    r.list = cl.flag("--recipes", "list the recipes of the history, every version (a table; "
                                  "--csv or --json for machines), then exit");
    r.show = cl.option("--recipe-show", "NAME[@VERSION]",
                       "show every field of a recipe (the newest released version when no "
                       "version is given), then exit");
    r.retire = cl.option("--recipe-retire", "NAME@VERSION",
                         "retire the recipe: it runs no more and no order takes it");
    r.exportTo = cl.option("--recipe-export", "NAME@VERSION",
                           "write the recipe to FILE: one JSON file with its fields, its firmware "
                           "in base64 and their SHA-256, for a station without the shared history");
    r.importFrom = cl.option("--recipe-import", "FILE",
                             "add the recipe exported to FILE to the history; a firmware that "
                             "is not what its SHA-256 says is refused, and so is NAME@VERSION "
                             "when the history holds it with other bytes");
    r.openOrder = cl.option("--work-order-open", "NAME",
                            "open the work order NAME of --quantity units of --recipe "
                            "NAME@VERSION (released), shared by every station of the history");
    r.recipe = cl.option("--recipe", "NAME[@VERSION]",
                         "download the firmware of this recipe from the history, with the "
                         "settings it fixes (no version: the newest released); no FILE. An "
                         "option that differs from the recipe is refused. With --history: only "
                         "its downloads (NAME alone: of every version). --work-order-open: the "
                         "order's recipe, NAME@VERSION");
    r.quantity = cl.option("--quantity", "N", "--work-order-open: the units, 1 to 1000000000");
    r.orders = cl.flag("--work-orders",
                       "list the work orders: recipe, quantity, done, in progress, remaining, "
                       "state, and per station (a table; --csv or --json), then exit");
    r.closeOrder = cl.option("--work-order-close", "NAME",
                             "close the work order NAME: it gives no more places");
    return r;
}

bool readRecipeOptions(cmdline::CommandLine& cl, CliOptions& o, const RecipeOptions& r,
                       const std::vector<std::string>& files) {
    RecipeCommand& c = o.recipes;
    o.recipe = cl.last(r.recipe).value_or("");
    const std::pair<CLI::Option*, Kind> commands[] = {
        {r.publish, Kind::Publish},
        {r.list, Kind::List},
        {r.show, Kind::Show},
        {r.retire, Kind::Retire},
        {r.exportTo, Kind::Export},
        {r.importFrom, Kind::Import},
        {r.openOrder, Kind::OpenOrder},
        {r.orders, Kind::Orders},
        {r.closeOrder, Kind::CloseOrder},
    };
    std::string names;
    for (const auto& [option, kind] : commands) {
        if (cl.given(option)) {
            names += (names.empty() ? "" : ", ") + option->get_name();
            c.kind = kind;
            c.name = cl.last(option).value_or("");
        }
    }
    const auto notWith = [&](CLI::Option* option, Kind wanted) {
        if (cl.given(option) && c.kind != wanted) {
            cl.problem(option->get_name() + " needs " +
                       (wanted == Kind::Publish ? "--recipe-publish" : "--work-order-open"));
        }
    };
    notWith(r.note, Kind::Publish);
    notWith(r.quantity, Kind::OpenOrder);
    if (c.kind == Kind::None) {
        return false;
    }
    if (cl.given(r.recipe) && c.kind != Kind::OpenOrder) {
        cl.problem("--recipe runs a recipe, or names that of --work-order-open; not with " + names);
    }
    o.action = CliOptions::Action::Recipes;
    if (names.find(',') != std::string::npos) {
        cl.problem(names + " cannot be used together");
        return true;
    }
    c.note = cl.last(r.note).value_or("");
    const bool takesFile = c.kind == Kind::Publish || c.kind == Kind::Export;
    if (takesFile && files.size() != 1) {
        cl.problem(names + (files.empty() ? " needs a FILE" : " takes exactly one FILE"));
    } else if (!takesFile && !files.empty()) {
        cl.problem(names + " takes no FILE");
    }
    if (c.kind == Kind::Import) {
        c.file = c.name;
    } else if (takesFile && files.size() == 1) {
        (c.kind == Kind::Export ? c.file : o.file) = files.front();
    }
    if (o.csv && o.json) {
        cl.problem("--csv and --json cannot be used together");
    } else if (o.csv && c.kind != Kind::List && c.kind != Kind::Orders) {
        cl.problem("--csv is for --recipes and --work-orders");
    } else if (o.json && c.kind != Kind::List && c.kind != Kind::Orders && c.kind != Kind::Show) {
        cl.problem("--json is for --recipes, --recipe-show and --work-orders");
    }
    switch (c.kind) {
    case Kind::Publish:
        checkName(cl, names, c.name);
        if (!o.baud || !o.device) {
            cl.problem(std::string("--recipe-publish needs ") +
                       (!o.baud && !o.device ? "--baud and --device"
                        : !o.baud            ? "--baud"
                                             : "--device") +
                       ": a recipe fixes them");
        }
        break;
    case Kind::Show:
        checkRef(cl, names, c.name, false);
        break;
    case Kind::Retire:
    case Kind::Export:
        checkRef(cl, names, c.name, true);
        break;
    case Kind::OpenOrder:
        checkName(cl, names, c.name);
        if (o.recipe.empty()) {
            cl.problem("--work-order-open needs --recipe NAME@VERSION");
        } else {
            checkRef(cl, "--recipe", o.recipe, true);
        }
        if (const auto text = cl.last(r.quantity)) {
            c.quantity = cmdline::wholeNumber(*text, 1, 1'000'000'000).value_or(0);
        }
        if (c.quantity == 0) {
            cl.problem("--work-order-open needs --quantity, a whole number from 1 to "
                       "1000000000" +
                       (cl.given(r.quantity) ? ", not " + *cl.last(r.quantity) : std::string()));
        }
        break;
    case Kind::CloseOrder:
        checkName(cl, names, c.name);
        break;
    default:
        break;
    }
    return true;
}

} // namespace quill::cli
