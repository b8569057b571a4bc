// SPDX-License-Identifier: MIT
#pragma once
// The texts of recipes and work orders: what went wrong with them, as the
// reason after the history's "what (where): ". Said here once.

namespace quill::text {

inline constexpr const char* RecipeNotPublished = "The recipe could not be published";
inline constexpr const char* RecipeNotImported = "The recipe could not be imported";
inline constexpr const char* RecipeNotRead = "The recipe could not be read";
inline constexpr const char* RecipeNotChanged = "The recipe could not be changed";
inline constexpr const char* OrderNotOpened = "The work order could not be opened";
inline constexpr const char* OrderNotChanged = "The work order could not be changed";
inline constexpr const char* OrderNotRead = "The work order could not be read";

// Reasons.
inline constexpr const char* RecipeDamaged =
    "its firmware in the database does not match its SHA-256: it was changed there; publish "
    "the recipe again and retire this version";
inline constexpr const char* RecipeOtherBytes =
    " is there already with other firmware: an exported recipe is imported unchanged or not at "
    "all; publish the new firmware as a new version";
inline constexpr const char* RecipeOtherSettings =
    " is there already with the same firmware but other settings: a version never changes; "
    "publish the new settings as a new version";
inline constexpr const char* RecipeShaMismatch =
    "its firmware does not match its SHA-256: the bytes were changed since it was exported";
inline constexpr const char* RecipeNoSuch = "no recipe ";
inline constexpr const char* RecipeNotReleased = " is retired: an order takes a released recipe";
inline constexpr const char* OrderExists = "there is an order of that name already";
inline constexpr const char* OrderBadQuantity = "a quantity is a whole number from 1 to 1000000000";
inline constexpr const char* PlaceNotHeld = "the unit holds no place in the order";
inline constexpr const char* RecipeTablesNewer =
    "its recipes were made by a newer Quill (recipe schema version ";
inline constexpr const char* RecipeListFile =
    "a recipe cannot take a list of serial numbers (--serial-list): its numbers would depend on a "
    "file outside the recipe; use a counter (--serial-series, --serial-start)";

// An exported recipe's file.
inline constexpr const char* ExportNotWritten = "The recipe could not be exported to ";
inline constexpr const char* ImportNotRead = "The recipe could not be imported from ";
inline constexpr const char* ImportNotRecipe =
    "it is not a recipe exported by Quill (a JSON object of format quill-recipe)";
inline constexpr const char* ImportNewerFormat = "it was exported by a newer Quill";
inline constexpr const char* ImportBadField = "it holds a bad or missing field: ";
inline constexpr const char* ImportNotFile = "it is not a regular file";
inline constexpr const char* ImportTooBig = "it is larger than any recipe Quill exports";

// Names of recipes and orders.
inline constexpr const char* NameEmpty = "a name cannot be empty";
inline constexpr const char* NameTooLong = "a name is at most 100 bytes";
inline constexpr const char* NameBlankEnds = "a name cannot begin or end with a blank";
inline constexpr const char* NameHasAt = "a name cannot hold '@', which separates the version";
inline constexpr const char* NameNotPrintable =
    "a name is printable UTF-8 text: no control characters";

} // namespace quill::text
