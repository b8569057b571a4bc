#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz and runs each for SECONDS seconds
# on a scratch copy of its seeds (fuzz/corpus/<target>), so the committed
# seeds stay small. Prints libFuzzer's own summary of each run; exits
# non-zero on any finding, whose input is kept in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 1 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/fuzz.sh SECONDS" >&2
    exit 2
fi
seconds=$1

source scripts/deps.sh
quill_install_missing

targets=(fuzz_check_record fuzz_line_reader fuzz_settings fuzz_download fuzz_rfc2217)
# Under CI (CI=true) warnings are errors here too, as in the ci preset.
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DQUILL_FUZZ=ON -DQUILL_WERROR="$werror" >/dev/null
cmake --build build/fuzz --target "${targets[@]}"

# The targets write a scratch hex file per input: kept in memory where possible.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
findings=$PWD/build/fuzz/findings
mkdir -p "$findings"
status=0
for target in "${targets[@]}"; do
    corpus=$scratch/$target
    mkdir -p "$corpus"
    cp fuzz/corpus/"$target"/* "$corpus"/
    log=$scratch/$target.log
    echo "== $target: ${seconds}s"
    # Run from the scratch folder: libFuzzer writes nothing into the tree.
    if (cd "$scratch" && "$OLDPWD/build/fuzz/fuzz/$target" -max_total_time="$seconds" \
        -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus") >"$log" 2>&1; then
        grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb|INFO: seed corpus)' "$log" || true
    else
        status=1
        echo "FINDING in $target:"
        grep -E 'property broken|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|SUMMARY|Test unit written|^#[0-9]+[[:space:]]+(DONE|NEW)' "$log" | tail -n 20 || tail -n 40 "$log"
    fi
done
exit "$status"
