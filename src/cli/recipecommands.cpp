// SPDX-License-Identifier: MIT
#include "cli/recipecommands.h"

#include "cli/climessageboxes.h"
#include "cli/clioptions.h"
#include "cli/clitexts.h"
#include "cli/console.h"
#include "cli/recipeviews.h"
#include "cmdline/commandline.h"
#include "hexfile/filecheck.h"
#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/sha256.h"
#include "hexfile/stdhexfile.h"
#include "history/attempt.h"
#include "history/historylocation.h"
#include "recipe/recipeexport.h"
#include "recipe/recipestore.h"
#include "recipe/recipetexts.h"
#include "shared/module1.h"
#include "shared/outcome.h"

#include <QDateTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::cli {

namespace {

using Kind = RecipeCommand::Kind;

// The bytes of the file that was checked: read again, and held to the
// SHA-256 the check found, so that what is published is what was checked.
bool readChecked(const std::string& path, const FileIdentity& checked,
                 std::vector<uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bytes.clear();
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        ok = n >= 0;
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    Sha256 hash;
    hash.add(bytes.data(), bytes.size());
    return ok && int64_t(bytes.size()) == checked.size && hash.finish() == checked.sha256;
}

// The check a download makes of the file, with its messages and its exit
// code: what Quill would refuse to send is refused at publish. None: the
// firmware is in `bytes`.
std::optional<ExitCode> checkFirmware(const CliOptions& o, Console& console,
                                      std::vector<uint8_t>& bytes) {
    Module1 m;
    CliMessageBoxes boxes(console, false, o.risks);
    StdHexFile file;
    open_hex_file(m, file, boxes, o.file);
    if (!m.hex_file_open) {
        return exitCodeOf(Outcome::FileError);
    }
    std::string line;
    const FileCheck check = checkHexFile(file, m.hex_table, line);
    file.close();
    if (check.identity.known()) {
        console.message(firmwareLine(o.file, check.identity));
    }
    const auto asked = [&](const char* question, DownloadEnd refusedAs) {
        const bool accepted = boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None,
                                           MsgResult::Cancel) == MsgResult::Ok;
        return accepted ? std::nullopt : std::optional(exitCodeOf(outcomeOf(refusedAs)));
    };
    std::optional<ExitCode> refused;
    switch (check.verdict) {
    case FileVerdict::Refused:
        boxes.MsgBox(refusalText(check), MsgButtons::Ok, MsgIcon::None, MsgResult::Ok);
        return exitCodeOf(outcomeOf(check.end));
    case FileVerdict::NoEndRecord:
        refused = asked(quill::text::NoEndRecord, DownloadEnd::NoEndRecord);
        break;
    case FileVerdict::RecordsAfterEnd:
        refused = asked(quill::text::RecordsAfterEnd, DownloadEnd::RecordsAfterEnd);
        break;
    case FileVerdict::Whole:
        break;
    }
    if (!refused && !readChecked(o.file, check.identity, bytes)) {
        console.error(quill::text::FileChanged);
        return exitCodeOf(Outcome::FileChanged);
    }
    return refused;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

ExitCode publish(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console,
                 std::vector<uint8_t> firmware) {
    Recipe r;
    r.name = o.recipes.name;
    r.firmware = std::move(firmware);
    Sha256 hash;
    hash.add(r.firmware.data(), r.firmware.size());
    r.sha256 = hash.finish();
    r.fileName = baseName(o.file);
    r.settings = {*o.device, *o.baud, o.risks, o.idleTimeoutSeconds, o.settleMs, o.serial};
    r.note = o.recipes.note;
    r.publishedBy = o.operatorName.empty() ? loginName() : o.operatorName;
    r.station = stationName();
    r.publishedMs = QDateTime::currentMSecsSinceEpoch();
    const auto version = store.publish(r);
    if (!version) {
        console.error(version.error().text());
        return ExitCode::HistoryFailed;
    }
    r.version = *version;
    std::fprintf(out, "%s %s\n", r.id().c_str(), r.sha256.c_str());
    return ExitCode::Complete;
}

// A command on NAME@VERSION that names none: said, as a usage error.
ExitCode noSuch(Console& console, const std::string& what) {
    console.error(std::string(text::ProgramName) + ": " + quill::text::RecipeNoSuch + what);
    return ExitCode::Usage;
}

ExitCode exportRecipe(const CliOptions& o, RecipeStore& store, Console& console) {
    const auto found = store.find(*recipeRefFromText(o.recipes.name));
    if (!found) {
        console.error(found.error().text());
        return ExitCode::HistoryFailed;
    }
    if (!*found) {
        return noSuch(console, o.recipes.name);
    }
    std::string error;
    if (!writeRecipeFile(o.recipes.file, **found, error)) {
        console.error(quill::text::ExportNotWritten + o.recipes.file + ": " + error);
        return ExitCode::FileError;
    }
    return ExitCode::Complete;
}

ExitCode importRecipe(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console) {
    std::string problem;
    const auto recipe = readRecipeFile(o.recipes.file, problem);
    if (!recipe) {
        console.error(quill::text::ImportNotRead + o.recipes.file + ": " + problem);
        return ExitCode::BadRecord;
    }
    if (HistoryStatus failed = store.import(*recipe)) {
        console.error(failed->text());
        return ExitCode::HistoryFailed;
    }
    std::fprintf(out, "%s %s\n", recipe->id().c_str(), recipe->sha256.c_str());
    return ExitCode::Complete;
}

ExitCode retireRecipe(const CliOptions& o, RecipeStore& store, Console& console) {
    const RecipeRef ref = *recipeRefFromText(o.recipes.name);
    const auto retired = store.retire(ref.name, *ref.version);
    if (!retired) {
        console.error(retired.error().text());
        return ExitCode::HistoryFailed;
    }
    return *retired ? ExitCode::Complete : noSuch(console, o.recipes.name);
}

ExitCode openOrder(const CliOptions& o, RecipeStore& store, Console& console) {
    const RecipeRef ref = *recipeRefFromText(o.recipe);
    // What the engineer typed wrong is a usage error; the store refuses
    // the same again under its lock.
    const auto state = store.stateOf(ref.name, *ref.version);
    if (!state) {
        console.error(state.error().text());
        return ExitCode::HistoryFailed;
    }
    if (!*state) {
        return noSuch(console, o.recipe);
    }
    if (**state != RecipeState::Released) {
        console.error(std::string(text::ProgramName) + ": " + o.recipe +
                      quill::text::RecipeNotReleased);
        return ExitCode::Usage;
    }
    WorkOrder order;
    order.name = o.recipes.name;
    order.recipeName = ref.name;
    order.recipeVersion = *ref.version;
    order.quantity = o.recipes.quantity;
    order.openedBy = o.operatorName.empty() ? loginName() : o.operatorName;
    order.station = stationName();
    order.openedMs = QDateTime::currentMSecsSinceEpoch();
    if (HistoryStatus failed = store.openOrder(order)) {
        console.error(failed->text());
        return ExitCode::HistoryFailed;
    }
    return ExitCode::Complete;
}

ExitCode closeOrder(const CliOptions& o, RecipeStore& store, Console& console) {
    const auto closed = store.closeOrder(o.recipes.name);
    if (!closed) {
        console.error(closed.error().text());
        return ExitCode::HistoryFailed;
    }
    if (!*closed) {
        console.error(std::string(text::ProgramName) + ": " + text::NoSuchOrder + o.recipes.name);
        return ExitCode::Usage;
    }
    return ExitCode::Complete;
}

} // namespace

ExitCode runRecipeCommand(const CliOptions& o, const SettingsStore& settings, std::FILE* out,
                          Console& console) {
    // A file Quill would refuse is refused before the history is opened.
    std::vector<uint8_t> firmware;
    if (o.recipes.kind == Kind::Publish && !o.serial.listFile.empty()) {
        console.error(std::string(text::ProgramName) + ": " + quill::text::RecipeListFile);
        return ExitCode::Usage;
    }
    if (o.recipes.kind == Kind::Publish) {
        if (const auto refused = checkFirmware(o, console, firmware)) {
            return *refused;
        }
    }
    const auto where = historyLocation(settings, o.historyUrl);
    if (!where) {
        console.error(where.error().text());
        return ExitCode::HistoryFailed;
    }
    auto store = RecipeStore::open(*where);
    if (!store) {
        console.error(store.error().text());
        return ExitCode::HistoryFailed;
    }
    RecipeStore& s = **store;
    switch (o.recipes.kind) {
    case Kind::Publish:
        return publish(o, s, out, console, std::move(firmware));
    case Kind::List:
        return listRecipes(o, s, out, console);
    case Kind::Show:
        return showRecipe(o, s, out, console);
    case Kind::Retire:
        return retireRecipe(o, s, console);
    case Kind::Export:
        return exportRecipe(o, s, console);
    case Kind::Import:
        return importRecipe(o, s, out, console);
    case Kind::OpenOrder:
        return openOrder(o, s, console);
    case Kind::Orders:
        return listOrders(o, s, out, console);
    case Kind::CloseOrder:
        return closeOrder(o, s, console);
    case Kind::None:
        break;
    }
    return ExitCode::Usage;
}

} // namespace quill::cli
