#!/bin/sh
# SPDX-License-Identifier: MIT
# Packs PNG pictures of one icon into a Windows .ico: a directory of the
# pictures, then the PNGs as they are (Windows reads PNG entries since
# Vista, at every size). The build draws the PNGs from data/'s SVG.
#   make-ico.sh OUT.ico SIZE=PICTURE.png...   (SIZE in pixels, 1 to 256)
set -eu
out=$1
shift

# VALUE in COUNT bytes, least significant first, as printf escapes.
le() {
    value=$1 count=$2 bytes=''
    while [ "$count" -gt 0 ]; do
        bytes="$bytes$(printf '\\%03o' $((value % 256)))"
        value=$((value / 256)) count=$((count - 1))
    done
    printf '%s' "$bytes"
}

{
    header="$(le 0 2)$(le 1 2)$(le $# 2)"
    offset=$((6 + 16 * $#))
    for entry in "$@"; do
        size=${entry%%=*} picture=${entry#*=}
        if [ "$size" -lt 1 ] || [ "$size" -gt 256 ]; then
            echo "make-ico.sh: $size is no icon size (1 to 256)" >&2
            exit 1
        fi
        length=$(wc -c <"$picture")
        # 256 is written as 0; no palette, one plane, 32 bits a pixel.
        header="$header$(le $((size % 256)) 1)$(le $((size % 256)) 1)$(le 0 2)$(le 1 2)"
        header="$header$(le 32 2)$(le "$length" 4)$(le "$offset" 4)"
        offset=$((offset + length))
    done
    # shellcheck disable=SC2059 # the escapes are the bytes
    printf "$header"
    for entry in "$@"; do
        cat "${entry#*=}"
    done
} >"$out.part"
mv "$out.part" "$out"
