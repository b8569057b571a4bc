#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package into a scratch folder, as `cpack -G DEB` in the
# build folder does, and checks its name, its control fields and that it
# holds the installed layout under /usr.
# Usage: check_deb.sh BUILD_DIR VERSION APP_ID
set -uo pipefail
build=$1 version=$2 id=$3

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quill-deb.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack -G DEB" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=$scratch/quill_${version}_$arch.deb
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"); made: $(ls "$scratch")" >&2; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quill ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
field Maintainer | grep -q '^The Quill developers <[^ ]\+@[^ ]\+>$' ||
    fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | wc -l)" -ge 3 ] || fail "Description has no long text"
# Computed from the binaries, plus the platform plugin Qt loads at run time.
depends=$(field Depends)
for needed in libqt6widgets6 libqt6serialport6 libqt6charts6 libqt6core6 libc6 qt6-qpa-plugins; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in usr/bin/quill usr/bin/quill-cli usr/bin/quill-devsim \
    "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
    usr/share/man/man1/quill.1.gz usr/share/doc/quill/copyright; do
    grep -qx "\./$path" <<<"$contents" || fail "the package lacks /$path"
done
grep -v '^\./usr/' <<<"$contents" | grep -qv '^\./$' && fail "the package holds files outside /usr"

[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed" >&2; exit 1; }
echo "$(basename "$deb"): name, control fields and contents all good"
