#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The layers of src/ and tools/ include only downward: each folder may
# include its own headers and those of the folders listed for it below,
# nothing else. A folder missing from the table fails the check, so that a
# new one gets its place in it.
# Usage: check_layers.sh SOURCE_DIR
set -euo pipefail
cd "$1"

declare -A allowed=(
    [src/platform]=""
    [src/platform/win]=""
    [src/shared]="platform"
    [src/hexfile]="shared platform"
    [src/unitserial]="hexfile shared platform"
    [src/download]="hexfile shared platform"
    [src/port]="rfc2217 shared platform"
    [src/trace]="download hexfile shared platform"
    [src/run]="trace download unitserial hexfile port shared platform"
    [src/cmdline]=""
    [src/lock]="run shared platform"
    [src/rfc2217]="platform"
    [src/qt]="rfc2217 port shared platform"
    [src/history]="shared platform"
    [src/recipe]="history run unitserial hexfile shared platform"
    [src/runner]="recipe history qt rfc2217 run trace download unitserial hexfile port shared platform"
    [src/events]="runner recipe history qt rfc2217 run trace download unitserial hexfile port shared platform"
    [src/ui]="lock runner recipe history qt run trace download unitserial hexfile port shared platform"
    [src/app]="cmdline lock ui runner recipe history qt run trace download unitserial hexfile port shared platform"
    [src/cli]="cmdline lock events recipe runner run history rfc2217 qt trace download unitserial hexfile port shared platform"
    [tools/pty]=""
    [tools/devsim]="pty cmdline"
)

status=0
while IFS= read -r -d '' file; do
    folder=$(dirname "$file")
    if [ -z "${allowed[$folder]+set}" ]; then
        echo "$file: the folder $folder has no place in the layer table" >&2
        status=1
        continue
    fi
    own=${folder#src/}
    own=${own#tools/}
    while IFS= read -r included; do
        target=$(dirname "$included")
        [ "$target" = "." ] && continue
        [ "$target" = "$own" ] && continue
        ok=0
        for layer in ${allowed[$folder]}; do
            [ "$target" = "$layer" ] && ok=1
        done
        if [ $ok -eq 0 ]; then
            echo "$file includes \"$included\": $folder may not include $target/" >&2
            status=1
        fi
    done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$file")
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h')
[ $status -eq 0 ] && echo "every folder includes only the layers below it"
exit $status
