#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch DESTDIR, as a distribution would, and
# checks what lands there: exactly the expected files, a desktop entry and
# metainfo that the freedesktop validators accept and that agree with each
# other and with the icon, man pages that render without a warning, and
# programs that run from where they were installed.
# Usage: check_install.sh BUILD_DIR VERSION APP_ID
set -uo pipefail
build=$1 version=$2 id=$3

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quill-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

root=$scratch/root
if ! DESTDIR="$root" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
    cat "$scratch/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi
usr=$root/usr

# Exactly these files, nothing outside /usr.
expected=(
    bin/quill bin/quill-cli bin/quill-devsim
    "share/applications/$id.desktop"
    "share/icons/hicolor/scalable/apps/$id.svg"
    "share/metainfo/$id.metainfo.xml"
    share/man/man1/quill.1.gz share/man/man1/quill-cli.1.gz share/man/man1/quill-devsim.1.gz
    share/bash-completion/completions/quill-cli
    share/quill/quill-events.schema.json
    share/doc/quill/copyright share/doc/quill/README.md
)
for size in 16 32 48 64 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f -printf '%P\n' | sort) \
    >"$scratch/layout.diff" || fail "installed files differ from the layout (< missing, > extra):
$(cat "$scratch/layout.diff")"
[ "$(cd "$root" && find . -mindepth 1 -maxdepth 1 -printf '%P\n')" = usr ] ||
    fail "something was installed outside the prefix"
for program in quill quill-cli quill-devsim; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is not executable"
done
for size in 16 32 48 64 128; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size px PNG"
done
grep -q 'LICENSE\|MIT\|Permission is hereby granted' "$usr/share/doc/quill/copyright" ||
    fail "share/doc/quill/copyright does not hold the licence"

# Desktop entry and metainfo: valid, and naming each other, the icon and
# an installed program.
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate $id.desktop"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$scratch/appstream.log")"
key() { sed -n "s/^$1=//p" "$desktop"; }
exec_program=$(key Exec | cut -d' ' -f1)
[ "$exec_program" = quill ] || fail "Exec starts '$exec_program', not quill"
[ "$(key Icon)" = "$id" ] || fail "Icon is '$(key Icon)', not $id"
[ "$(key Type)" = Application ] || fail "Type is not Application"
for category in Development Electronics; do
    grep -q "^Categories=.*$category;" "$desktop" || fail "Categories lack $category"
done
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "<caption>.\+</caption>" "$metainfo" || fail "metainfo screenshot has no caption"

# Man pages: render at 80 columns without a single warning, carry the
# version, and say what --help alone does not.
declare -A must_say=(
    [quill]="quill.ini PortNames EXIT STATUS EXAMPLES"
    [quill-cli]="quill.ini PortNames Exit status EXAMPLES quill-events.schema.json QUILL_MQTT_PASSWORD"
    [quill-devsim]="EXIT STATUS EXAMPLES"
)
for program in quill quill-cli quill-devsim; do
    page=$usr/share/man/man1/$program.1.gz
    if ! MANWIDTH=80 man --warnings -l "$page" >"$scratch/page.txt" 2>"$scratch/page.err" ||
        [ -s "$scratch/page.err" ]; then
        fail "man -l $program.1: $(cat "$scratch/page.err")"
    fi
    zcat "$page" | grep -q "^\.TH .*\"$program $version\"" || fail "$program.1 does not carry $version"
    for words in ${must_say[$program]}; do
        grep -q "$words" "$scratch/page.txt" || fail "$program(1) does not mention $words"
    done
done

# The events' schema is a JSON Schema of draft 2020-12 that a validator takes.
/usr/bin/python3 -c 'import json, sys, jsonschema; jsonschema.Draft202012Validator.check_schema(json.load(open(sys.argv[1])))' \
    "$usr/share/quill/quill-events.schema.json" 2>"$scratch/schema.err" ||
    fail "quill-events.schema.json is not a valid schema: $(cat "$scratch/schema.err")"

# The installed programs run: quill answers without any display.
reply=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$usr/bin/quill" --version 2>&1) ||
    fail "quill --version failed: $reply"
[ "$reply" = "quill $version" ] || fail "quill --version says '$reply'"
"$usr/bin/quill-cli" --help >/dev/null 2>&1 || fail "installed quill-cli --help failed"
"$usr/bin/quill-devsim" --help >/dev/null 2>&1 || fail "installed quill-devsim --help failed"

[ "$failures" -eq 0 ] || { echo "$failures install check(s) failed" >&2; exit 1; }
echo "install layout, desktop entry, metainfo, man pages: all good"
