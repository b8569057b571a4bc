// SPDX-License-Identifier: MIT
#pragma once
// A recipe as one self-describing file, for a station without the shared
// database: a JSON object with every field, the firmware in base64 and its
// SHA-256. Written whole or not at all; read back only when the firmware
// is the one its SHA-256 names.

#include "recipe/recipe.h"

#include <QByteArray>

#include <optional>
#include <string>

namespace quill {

// The file's format, and the version this program writes.
inline constexpr const char* RecipeFileFormat = "quill-recipe";
inline constexpr int RecipeFileVersion = 1;

QByteArray recipeJson(const Recipe& recipe);
// The recipe of such a file; none, with `problem` said, when it is not one
// or its firmware is not what its SHA-256 names.
std::optional<Recipe> recipeFromJson(const QByteArray& json, std::string& problem);

// Writes the file atomically (a temporary file beside it, then renamed):
// false, with `error` said, when it could not be.
bool writeRecipeFile(const std::string& path, const Recipe& recipe, std::string& error);
std::optional<Recipe> readRecipeFile(const std::string& path, std::string& problem);

} // namespace quill
