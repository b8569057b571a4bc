// SPDX-License-Identifier: MIT
#include "recipe/recipe.h"

#include "recipe/recipetexts.h"
#include "shared/utf8text.h"

#include <charconv>

namespace quill {

bool RecipeSettings::operator==(const RecipeSettings& o) const {
    const SerialRequest& a = serial;
    const SerialRequest& b = o.serial;
    // A number's form matters only where one is written.
    const bool sameSerial =
        a.address == b.address &&
        (!a.address || (a.size == b.size && a.format == b.format && a.series == b.series &&
                        a.start == b.start && a.listFile == b.listFile));
    return device == o.device && baud == o.baud && risks.noEndRecord == o.risks.noEndRecord &&
           risks.recordsAfterEnd == o.risks.recordsAfterEnd &&
           idleTimeoutSeconds == o.idleTimeoutSeconds && settleMs == o.settleMs && sameSerial;
}

std::string Recipe::id() const {
    return name + '@' + std::to_string(version);
}

std::optional<RecipeRef> recipeRefFromText(std::string_view text) {
    const size_t at = text.rfind('@');
    RecipeRef ref{std::string(text.substr(0, at)), std::nullopt};
    if (ref.name.empty()) {
        return std::nullopt;
    }
    if (at != std::string_view::npos) {
        const std::string_view digits = text.substr(at + 1);
        int version = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), version);
        if (digits.empty() || digits.front() == '+' || error != std::errc() ||
            end != digits.data() + digits.size() || version < 1) {
            return std::nullopt;
        }
        ref.version = version;
    }
    return ref;
}

const char* nameProblem(std::string_view name) {
    if (name.empty()) {
        return text::NameEmpty;
    }
    if (name.size() > maxNameBytes) {
        return text::NameTooLong;
    }
    if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t') {
        return text::NameBlankEnds;
    }
    if (name.find('@') != std::string_view::npos) {
        return text::NameHasAt;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f) {
            return text::NameNotPrintable;
        }
        if (c >= 0x80) {
            const size_t n = utf8SequenceLength(name, i);
            if (n == 0) {
                return text::NameNotPrintable;
            }
            i += n - 1;
        }
    }
    return nullptr;
}

} // namespace quill
