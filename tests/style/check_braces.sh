#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Braces on every if/for/while body in tools/, as in src/: clang-format
# cannot insert them, so clang-tidy checks them on the build's compile
# commands.
# Usage: check_braces.sh SOURCE_DIR BUILD_DIR [CLANG_TIDY]
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build_dir=$2
clang_tidy=${3:-clang-tidy}
[ -f "$build_dir/compile_commands.json" ] ||
    { echo "no compile_commands.json in $build_dir" >&2; exit 1; }
mapfile -t files < <(find "$source_dir/tools" -name '*.cpp' | sort)
[ ${#files[@]} -gt 0 ] || { echo "no sources under tools/" >&2; exit 1; }
"$clang_tidy" -p "$build_dir" --quiet \
    --checks='-*,readability-braces-around-statements' --warnings-as-errors='*' \
    --header-filter="^$source_dir/tools/.*" "${files[@]}"
echo "${#files[@]} files under tools/: every body in braces"
