// SPDX-License-Identifier: MIT
#include "cli/recipeviews.h"

#include "cli/clioptions.h"
#include "cli/clitexts.h"
#include "cli/console.h"
#include "history/historyformat.h"
#include "recipe/recipestore.h"
#include "recipe/recipetexts.h"
#include "shared/module1.h"
#include "shared/utf8text.h"

#include <algorithm>
#include <iterator>

namespace quill::cli {

namespace {

using Row = std::vector<std::string>;

// Columns as wide as their widest cell, two blanks between them.
std::string table(const std::vector<Row>& rows) {
    std::vector<size_t> widths;
    for (const Row& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], textWidth(row[i]));
        }
    }
    std::string out;
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - textWidth(row[i]) + 2, ' ');
            }
        }
        out += line + '\n';
    }
    return out;
}

void csvLine(std::string& out, const Row& row) {
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        appendCsvField(out, row[i]);
    }
    out += "\r\n";
}

std::string deviceName(int16_t device) {
    return device == device_tracker ? "tracker" : "manual";
}

std::string stateName(RecipeState state) {
    return state == RecipeState::Retired ? "retired" : "released";
}

// The JSON fields of a recipe, without braces: everything but the firmware.
std::string recipeFields(const Recipe& r, int64_t size) {
    const RecipeSettings& s = r.settings;
    std::string out =
        "\"name\":" + jsonString(r.name) + ",\"version\":" + std::to_string(r.version) +
        ",\"state\":\"" + stateName(r.state) + "\",\"sha256\":\"" + r.sha256 +
        "\",\"size\":" + std::to_string(size) + ",\"file_name\":" + jsonString(r.fileName) +
        ",\"device\":\"" + deviceName(s.device) + "\",\"baud\":" + std::to_string(s.baud) +
        ",\"allow_no_end_record\":" + (s.risks.noEndRecord ? "true" : "false") +
        ",\"allow_records_after_end\":" + (s.risks.recordsAfterEnd ? "true" : "false") +
        ",\"idle_timeout_s\":" + std::to_string(s.idleTimeoutSeconds) +
        ",\"settle_ms\":" + std::to_string(s.settleMs) + ",\"serial\":";
    if (s.serial.address) {
        const char* format = serialFormatName(s.serial.format);
        out += "{\"address\":\"" + addressText(*s.serial.address) +
               "\",\"size\":" + std::to_string(s.serial.size) + ",\"format\":\"" + format +
               "\",\"series\":" + jsonString(s.serial.series) +
               ",\"start\":" + std::to_string(s.serial.start) + '}';
    } else {
        out += "null";
    }
    return out + ",\"note\":" + jsonString(r.note) +
           ",\"published_by\":" + jsonString(r.publishedBy) +
           ",\"station\":" + jsonString(r.station) + ",\"published\":\"" + utcTime(r.publishedMs) +
           '"';
}

void write(std::FILE* out, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

} // namespace

ExitCode listRecipes(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console) {
    const auto listed = store.list();
    if (!listed) {
        console.error(listed.error().text());
        return ExitCode::HistoryFailed;
    }
    std::string text;
    std::vector<Row> rows{Row(std::begin(text::RecipeCaptions), std::end(text::RecipeCaptions))};
    if (o.csv) {
        csvLine(text, {"name", "version", "state", "sha256", "size", "published", "note",
                       "published_by", "station", "file_name"});
    }
    for (const auto& [r, size] : *listed) {
        if (o.json) {
            text += '{' + recipeFields(r, size) + "}\n";
        } else if (o.csv) {
            csvLine(text, {r.name, std::to_string(r.version), stateName(r.state), r.sha256,
                           std::to_string(size), utcTime(r.publishedMs), r.note, r.publishedBy,
                           r.station, r.fileName});
        } else {
            rows.push_back({printableText(r.name), std::to_string(r.version), stateName(r.state),
                            r.sha256.substr(0, 12), std::to_string(size),
                            utcTime(r.publishedMs).substr(0, 16), printableText(r.note)});
        }
    }
    if (!o.csv && !o.json) {
        text = listed->empty() ? text::NoRecipes : table(rows);
    }
    write(out, text);
    return ExitCode::Complete;
}

ExitCode showRecipe(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console) {
    const auto found = store.find(*recipeRefFromText(o.recipes.name));
    if (!found) {
        console.error(found.error().text());
        return ExitCode::HistoryFailed;
    }
    if (!*found) {
        console.error(std::string(text::ProgramName) + ": " + quill::text::RecipeNoSuch +
                      o.recipes.name);
        return ExitCode::Usage;
    }
    const Recipe& r = **found;
    const RecipeSettings& s = r.settings;
    const auto size = int64_t(r.firmware.size());
    if (o.json) {
        write(out, '{' + recipeFields(r, size) + "}\n");
        return ExitCode::Complete;
    }
    std::vector<Row> rows{
        {"recipe:", printableText(r.id())},
        {"state:", stateName(r.state)},
        {"file:", printableText(r.fileName)},
        {"size:", std::to_string(size) + " bytes"},
        {"sha256:", r.sha256},
        {"device:", deviceName(s.device)},
        {"baud:", std::to_string(s.baud)},
        {"allow no end record:", s.risks.noEndRecord ? "yes" : "no"},
        {"allow records after end:", s.risks.recordsAfterEnd ? "yes" : "no"},
        {"idle timeout:", std::to_string(s.idleTimeoutSeconds) + " s"},
        {"settle:", std::to_string(s.settleMs) + " ms"},
        {"serial number:",
         s.serial.address
             ? addressText(*s.serial.address) + ", " + std::to_string(s.serial.size) + " bytes, " +
                   serialFormatName(s.serial.format) + ", series " +
                   printableText(s.serial.series) + " from " + std::to_string(s.serial.start)
             : "none"},
        {"note:", printableText(r.note)},
        {"published by:", printableText(r.publishedBy)},
        {"station:", printableText(r.station)},
        {"published:", utcTime(r.publishedMs)},
    };
    write(out, table(rows));
    return ExitCode::Complete;
}

ExitCode listOrders(const CliOptions& o, RecipeStore& store, std::FILE* out, Console& console) {
    const auto orders = store.orders();
    if (!orders) {
        console.error(orders.error().text());
        return ExitCode::HistoryFailed;
    }
    std::string text;
    std::vector<Row> rows{Row(std::begin(text::OrderCaptions), std::end(text::OrderCaptions))};
    std::string stationLines;
    if (o.csv) {
        csvLine(text, {"order", "recipe", "quantity", "done", "in_progress", "remaining", "state",
                       "station"});
    }
    for (const WorkOrder& w : *orders) {
        const auto stations = store.orderStations(w.name);
        if (!stations) {
            console.error(stations.error().text());
            return ExitCode::HistoryFailed;
        }
        const std::string recipe = w.recipeName + '@' + std::to_string(w.recipeVersion);
        const std::string state = w.state == OrderState::Closed ? "closed" : "open";
        Row row{w.name,
                recipe,
                std::to_string(w.quantity),
                std::to_string(w.done),
                std::to_string(w.inProgress),
                std::to_string(w.remaining()),
                state};
        if (o.csv) {
            Row line = row;
            line.emplace_back(); // the order's own line names no station
            csvLine(text, line);
            for (const OrderStationCount& c : *stations) {
                csvLine(text, {w.name, recipe, "", std::to_string(c.done),
                               std::to_string(c.inProgress), "", "", c.station});
            }
        } else if (o.json) {
            text += "{\"order\":" + jsonString(w.name) + ",\"recipe\":" + jsonString(recipe) +
                    ",\"quantity\":" + row[2] + ",\"done\":" + row[3] +
                    ",\"in_progress\":" + row[4] + ",\"remaining\":" + row[5] + ",\"state\":\"" +
                    state + "\",\"opened_by\":" + jsonString(w.openedBy) +
                    ",\"station\":" + jsonString(w.station) + ",\"opened\":\"" +
                    utcTime(w.openedMs) + "\",\"stations\":[";
            for (size_t i = 0; i < stations->size(); ++i) {
                const OrderStationCount& c = (*stations)[i];
                text += std::string(i > 0 ? "," : "") + "{\"station\":" + jsonString(c.station) +
                        ",\"done\":" + std::to_string(c.done) +
                        ",\"in_progress\":" + std::to_string(c.inProgress) + '}';
            }
            text += "]}\n";
        } else {
            for (std::string& cell : row) {
                cell = printableText(cell);
            }
            rows.push_back(row);
            for (const OrderStationCount& c : *stations) {
                rows.push_back({"  " + printableText(c.station), "", "", std::to_string(c.done),
                                std::to_string(c.inProgress)});
            }
        }
    }
    if (!o.csv && !o.json) {
        text = orders->empty() ? text::NoOrders : table(rows);
    }
    write(out, text);
    return ExitCode::Complete;
}

} // namespace quill::cli
