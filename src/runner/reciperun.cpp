// SPDX-License-Identifier: MIT
#include "runner/reciperun.h"

#include "runner/runnertexts.h"
#include "shared/report.h"

namespace quill {

namespace {

struct Differs {
    std::vector<std::string> problems;
    const Recipe& recipe;

    void check(bool differs, const std::string& option, const std::string& fixed) {
        if (differs) {
            problems.push_back(option + text::DiffersFromRecipe + recipe.id() + text::WhichFixes +
                               fixed + '.');
        }
    }
};

// A number asked for is compared field by field; none asked asks nothing.
void checkSerial(Differs& d, const SerialRequest& asked, const SerialRequest& fixed) {
    if (!asked.wanted()) {
        return;
    }
    if (asked.address != fixed.address) {
        d.check(true, "--serial-at " + addressText(*asked.address),
                fixed.address ? addressText(*fixed.address) : text::RecipeFixesNone);
        return;
    }
    d.check(asked.size != fixed.size, "--serial-size " + std::to_string(asked.size),
            std::to_string(fixed.size));
    d.check(asked.format != fixed.format,
            std::string("--serial-format ") + serialFormatName(asked.format),
            serialFormatName(fixed.format));
    d.check(asked.listFile != fixed.listFile, "--serial-list " + asked.listFile,
            fixed.listFile.empty() ? text::RecipeFixesNone : fixed.listFile);
    if (asked.listFile.empty()) {
        d.check(asked.series != fixed.series, "--serial-series " + asked.series, fixed.series);
        d.check(asked.start != fixed.start, "--serial-start " + std::to_string(asked.start),
                std::to_string(fixed.start));
    }
}

} // namespace

std::string recipeFileName(const Recipe& recipe) {
    return "recipe " + recipe.id();
}

std::vector<std::string> applyRecipe(RunRequest& request, const Recipe& recipe) {
    const RecipeSettings& fixed = recipe.settings;
    Differs d{{}, recipe};
    if (request.baud) {
        d.check(*request.baud != fixed.baud, "--baud " + std::to_string(*request.baud),
                std::to_string(fixed.baud));
    }
    if (request.device) {
        d.check(*request.device != fixed.device,
                std::string("--device ") + deviceKindName(request.device),
                deviceKindName(fixed.device));
    }
    d.check((request.idleTimeoutGiven || request.idleTimeoutSeconds != defaultIdleTimeoutSeconds) &&
                request.idleTimeoutSeconds != fixed.idleTimeoutSeconds,
            "--idle-timeout " + std::to_string(request.idleTimeoutSeconds),
            std::to_string(fixed.idleTimeoutSeconds));
    d.check((request.settleGiven || request.settleMs != defaultSettleMs) &&
                request.settleMs != fixed.settleMs,
            "--settle " + std::to_string(request.settleMs), std::to_string(fixed.settleMs));
    d.check(request.risks.noEndRecord && !fixed.risks.noEndRecord, "--allow-no-end-record",
            text::RecipeFixesOff);
    d.check(request.risks.recordsAfterEnd && !fixed.risks.recordsAfterEnd,
            "--allow-records-after-end", text::RecipeFixesOff);
    d.check(!request.expectSha256.empty() && request.expectSha256 != recipe.sha256,
            "--expect-sha256 " + request.expectSha256, recipe.sha256);
    checkSerial(d, request.serial, fixed.serial);
    if (!d.problems.empty()) {
        return d.problems;
    }
    request.file = recipeFileName(recipe);
    request.expectSha256 = recipe.sha256;
    request.baud = fixed.baud;
    request.device = fixed.device;
    request.idleTimeoutSeconds = fixed.idleTimeoutSeconds;
    request.settleMs = fixed.settleMs;
    request.risks = fixed.risks;
    // A [Serial] setting the window stored is no option asked: the recipe's
    // number is the one written, and a stored setting that cannot be used
    // does not stand in its way.
    request.serial = fixed.serial;
    return {};
}

std::string retiredProblem(const Recipe& found, const Recipe* released) {
    if (found.state != RecipeState::Retired) {
        return {};
    }
    if (released != nullptr) {
        return found.id() + text::IsRetired + released->id() + '.';
    }
    return found.id() + text::IsRetiredNoneReleased + found.name + text::IsReleasedEnd;
}

std::string orderFullText(const WorkOrder& order) {
    const std::string head = text::WorkOrder + order.name;
    if (order.inProgress <= 0 || order.done >= order.quantity) {
        return head + text::OrderComplete + std::to_string(order.done) + text::OrderOf +
               std::to_string(order.quantity) + '.';
    }
    return head + text::OrderNoPlace + std::to_string(order.done) + text::OrderOf +
           std::to_string(order.quantity) + text::OrderDone + std::to_string(order.inProgress) +
           text::OrderInProgress;
}

} // namespace quill
