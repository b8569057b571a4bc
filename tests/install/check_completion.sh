#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion of quill-cli, run as bash runs it: for each command
# line being typed, the exact candidates offered. And every option that
# quill-cli --help lists must be offered, so the completion cannot fall
# behind the program.
# Usage: check_completion.sh COMPLETION_FILE QUILL_CLI
set -uo pipefail
completion=$1 quill_cli=$2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quill-completion.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/firmware.hex" "$scratch/fifth.hex" "$scratch/log.txt" "$scratch/ttyOSTREL"
mkdir "$scratch/files"

# shellcheck source=/dev/null
source "$completion"
failures=0

# offered "EXPECTED CANDIDATES" WORD... : the last word is being completed.
offered() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _quill_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | xargs)
    # shellcheck disable=SC2086 # one candidate per word
    expected=$(printf '%s\n' $expected | sort | xargs)
    if [ "$got" != "$expected" ]; then
        echo "FAIL: completing '${COMP_WORDS[*]}': got '$got', want '$expected'" >&2
        failures=$((failures + 1))
    fi
}

s=$scratch
offered "manual tracker" quill-cli --device ""
offered "tracker" quill-cli -d t
offered "9600 38400" quill-cli --baud ""
offered "38400" quill-cli -b 3
offered "9600 38400" quill-cli --baud =             # --baud=
offered "38400" quill-cli --baud = 3                 # --baud=3
offered "manual" quill-cli --device = m              # --device=m
offered "COM1 COM2 COM3 COM4" quill-cli --port C
offered "COM3" quill-cli -p COM3
offered "COM1 COM2 COM3 COM4" quill-cli --check-port CO
offered "rfc2217://" quill-cli -p rf                 # a port on the network
offered "$s/ttyOSTREL" quill-cli --port "$s/tty"     # a link made by quill-devsim --link
offered "" quill-cli --idle-timeout ""
offered "$s/log.txt" quill-cli --log "$s/l"
offered "$s/firmware.hex $s/fifth.hex $s/files" quill-cli "$s/f"
offered "$s/firmware.hex" quill-cli --yes "$s/fir"   # a flag takes no value
offered "$s/firmware.hex" quill-cli -y --device manual --baud 9600 "$s/fir"
offered "--allow-no-end-record --allow-records-after-end" quill-cli --allow
offered "" quill-cli --settle ""
offered "--device" quill-cli --dev
offered "--baud" quill-cli --port COM1 --bau
offered "--list-ports" quill-cli --li
offered "--history --history-url" quill-cli --hist
offered "unexpected_firmware unfinished" quill-cli --history --outcome un
offered "" quill-cli --expect-sha256 ""
offered "mqtt:// mqtts://" quill-cli --events mq

complete -p quill-cli 2>/dev/null | grep -q -- "-F _quill_cli" ||
    { echo "FAIL: quill-cli is not registered for completion" >&2; failures=$((failures + 1)); }

# Every option in --help, short and long, is among the candidates for "-".
COMP_WORDS=(quill-cli -)
COMP_CWORD=1
_quill_cli
offered_options=" ${COMPREPLY[*]} "
help=$("$quill_cli" --help) || { echo "FAIL: quill-cli --help" >&2; exit 1; }
listed=$(grep -oE '(^|[[:space:],[(|])--?[[:alpha:]][[:alnum:]-]*' <<<"$help" | sed 's/^[^-]*//' | sort -u)
[ -n "$listed" ] || { echo "FAIL: no options found in quill-cli --help" >&2; exit 1; }
for option in $listed; do
    case $offered_options in
    *" $option "*) ;;
    *)
        echo "FAIL: quill-cli --help lists $option, the completion does not offer it" >&2
        failures=$((failures + 1))
        ;;
    esac
done

[ "$failures" -eq 0 ] || { echo "$failures completion check(s) failed" >&2; exit 1; }
echo "completion: all good ($(wc -w <<<"$listed") options from --help offered)"
