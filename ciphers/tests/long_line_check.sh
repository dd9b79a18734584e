#!/usr/bin/env bash
# A line of some megabytes, many times the buffer C stdio reads it through,
# comes out of both programs as tr turns it, from a file and through a pipe
# (which hands it over in smaller reads), and the input after it is still
# read: shiftcrypt takes its choice and shift from the lines that follow.
#
#   long_line_check.sh HALFTURN SHIFTCRYPT
#
# LESSONS_CASE_WRAPPER, as for case_runner, is a command that starts the
# programs: a cross build's emulator.
# The cat is the point: a pipe hands the line over in smaller reads.
# shellcheck disable=SC2002
set -euo pipefail
export LC_ALL=C
halfturn="$1"
shiftcrypt="$2"
read -r -a wrapper <<<"${LESSONS_CASE_WRAPPER:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every printable character, so that each kind of byte is on the line many
# times over; 3 MiB and an odd length, so that the line does not end where a
# buffer does.
printable="$(printf '%s' ' !"#$%&'\''()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~')"
yes "$printable" | tr -d '\n' | head -c $((3 * 1024 * 1024 + 37)) >"$work/line" || true
# The rule for shift 13 on printable text: the blank stays, a to m gain 13,
# n to z lose 13, every other character (codes 33 to 96 and 123 to 126) loses
# 13.
tr 'a-z\041-\140\173-\176' 'n-za-m\024-\123\156-\161' <"$work/line" >"$work/expected"
{ cat "$work/line"; printf '\nnever printed\n'; } >"$work/halfturn.in"
{ cat "$work/line"; printf '\n1\n13\n'; } >"$work/shiftcrypt.in"

check() {
    local what="$1" prompts="$2" output="$3"
    if ! tail -n +"$((prompts + 1))" "$output" | cmp -s - <(cat "$work/expected"; echo); then
        echo "$what: the turned line differs from tr's" >&2
        exit 1
    fi
}

"${wrapper[@]}" "$halfturn" <"$work/halfturn.in" >"$work/out"
check "halfturn from a file" 1 "$work/out"
cat "$work/halfturn.in" | "${wrapper[@]}" "$halfturn" >"$work/out"
check "halfturn through a pipe" 1 "$work/out"
"${wrapper[@]}" "$shiftcrypt" <"$work/shiftcrypt.in" >"$work/out"
check "shiftcrypt from a file" 3 "$work/out"
cat "$work/shiftcrypt.in" | "${wrapper[@]}" "$shiftcrypt" >"$work/out"
check "shiftcrypt through a pipe" 3 "$work/out"
echo "halfturn and shiftcrypt turn a 3 MiB line as tr does"
