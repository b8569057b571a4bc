// SPDX-License-Identifier: MIT
#pragma once
// The recipe and order tables of the history, beside the attempts, with a
// version of their own so that they can change later:
//
//     quill_recipe_schema (version)   one row
//     quill_recipe (name, version, firmware, firmware_size, file_name, sha256,
//                   device, baud, allow_no_end, allow_after_end, idle_timeout_s,
//                   settle_ms, serial_address, serial_size, serial_format,
//                   serial_series, serial_start, note, published_by, station,
//                   published_ms, state)          one row per NAME@VERSION
//     quill_work_order (name, recipe_name, recipe_version, quantity, taken,
//                       state, opened_by, station, opened_ms)
//     quill_order_place (order_name, unit_key, attempt_key, station, state,
//                        taken_ms)                one row per unit holding a place
//
// `taken` is the count of the order's places, held or kept, changed only
// together with them; the statement that takes one refuses to pass the
// quantity. Values are bound; the texts hold placeholders only.

#include "recipe/recipe.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

class QSqlQuery;

namespace quill::recipeschema {

inline constexpr int Version = 1;

// The statements that make what is missing, in order.
QStringList creation(bool postgres);
QString versionQuery();
QString versionInsert(); // binds the version

// The recipe's columns in the order values() gives them.
QString insertRecipe();
QVariantList values(const Recipe& r);
// A select of every column but the firmware, then the firmware when `withFirmware`.
QString selectRecipes(const QString& where, bool withFirmware);
// The recipe from a row of selectRecipes().
Recipe readRecipe(const QSqlQuery& query, bool withFirmware, int64_t* firmwareSize);

QString recipeStateName(RecipeState state);
QString orderStateName(OrderState state);

} // namespace quill::recipeschema
