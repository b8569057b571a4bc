#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every C++ file under version control is formatted as .clang-format says.
# Outside a git checkout (a source tarball) there is no list of files to
# trust, so the check is skipped (exit 77).
# Usage: check_format.sh SOURCE_DIR [CLANG_FORMAT]
set -euo pipefail
cd "$1"
clang_format=${2:-clang-format}
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "not a git checkout: format check skipped"
    exit 77
fi
files=()
while IFS= read -r -d '' file; do
    [ -f "$file" ] && files+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc')
[ ${#files[@]} -gt 0 ] || { echo "no C++ files found" >&2; exit 1; }
"$clang_format" --dry-run --Werror "${files[@]}"
echo "${#files[@]} C++ files formatted as .clang-format says"
