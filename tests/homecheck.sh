#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The check that a test run left the real home alone. `stamp` runs before
# the first test and notes the time; `check` runs after the last and names
# everything in the real home's Quill places (SCRATCH/real-places, written
# by isolation.cmake) changed since, written or its mode changed.
# Usage: homecheck.sh stamp|check SCRATCH
set -euo pipefail
scratch=$2
case $1 in
stamp)
    # A second early: file times come from a clock that may lag by a tick,
    # or are kept to the second, and a write just after the stamp must
    # still read as newer.
    touch -d '1 second ago' "$scratch/stamp"
    ;;
check)
    if [ ! -e "$scratch/stamp" ]; then
        echo "no stamp in $scratch: the check runs with the whole suite" >&2
        exit 1
    fi
    changed=()
    while IFS= read -r place; do
        [ -e "$place" ] || continue
        while IFS= read -r -d '' file; do
            changed+=("$file")
        done < <(find "$place" -cnewer "$scratch/stamp" -print0)
    done <"$scratch/real-places"
    if [ ${#changed[@]} -gt 0 ]; then
        echo "Changed in the real home during the tests (a test, or another program meanwhile):"
        printf '  %s\n' "${changed[@]}"
        exit 1
    fi
    echo "The real home's Quill places are as they were:"
    sed 's/^/  /' "$scratch/real-places"
    ;;
*)
    echo "usage: homecheck.sh stamp|check SCRATCH" >&2
    exit 2
    ;;
esac
