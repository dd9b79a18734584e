#!/usr/bin/env bash
# The tr ranges are byte ranges, and the cat in pipe mode is the point of it.
# shellcheck disable=SC2002,SC2018

# Throughput of the two cipher programs on one very long line, measured side
# by side with tr, which does the same kind of byte-for-byte translation:
#
#   tr 'a-z' 'n-za-m'          the yardstick
#   halfturn                   the line, turned 13 places
#   shiftcrypt                 the line, then choice 1 and shift 13
#
# Each round runs the three commands one after another on the same input, each
# round starting with a different one, so a busy machine slows all three
# alike.  The script prints, for each program, the median wall time and its
# ratio to tr's, the median processor time (user plus system) and its ratio to
# tr's, and the peak resident memory, also as a multiple of the line's size.
# Before timing it checks that the outputs are right: on a line of lower-case
# letters and blanks both programs must print exactly what tr prints, and on
# the mixed line exactly what the rule gives (tr with the rule's full table as
# the reference).
#
# Settings, from the environment:
#   CIPHERS_BIN   folder holding halfturn and shiftcrypt
#                 (default: build/default/bin, built with the default preset
#                 when the programs are not there yet)
#   BENCH_MIB     size of the line in MiB (default 64)
#   BENCH_RUNS    number of timed rounds (default 7)
#   BENCH_FEED    file: standard input is the input file (default);
#                 pipe: the input comes through a pipe from cat
#   BENCH_OUT     folder for the inputs and outputs (default bench/out)
#
# Needs GNU time (/usr/bin/time, Debian package "time") for the peak memory.
set -euo pipefail
export LC_ALL=C

repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${CIPHERS_BIN:-$repo/build/default/bin}"
mib="${BENCH_MIB:-64}"
runs="${BENCH_RUNS:-7}"
feed="${BENCH_FEED:-file}"
out="${BENCH_OUT:-$repo/bench/out}"
gnu_time=/usr/bin/time

fail() {
    echo "ciphers.sh: $*" >&2
    exit 1
}

[ -x "$gnu_time" ] || fail "needs GNU time at $gnu_time (apt-get install time)"
case "$feed" in
file | pipe) ;;
*) fail "BENCH_FEED must be file or pipe, not '$feed'" ;;
esac

if [ ! -x "$bin/halfturn" ] || [ ! -x "$bin/shiftcrypt" ]; then
    [ -z "${CIPHERS_BIN:-}" ] || fail "no halfturn and shiftcrypt in $bin"
    echo "== building halfturn and shiftcrypt (preset default)"
    (cd "$repo" && cmake --preset default >/dev/null &&
        cmake --build --preset default --target halfturn shiftcrypt >/dev/null)
fi

mkdir -p "$out"
line_bytes=$((mib * 1024 * 1024))

# Everything the script writes goes by these names, and goes again at the end.
made=(block.txt line.body lower.body mixed.in mixed-crypt.in lower.in lower-crypt.in
    tr-lower.out halfturn-lower.out shiftcrypt-lower.out rule-mixed.out halfturn-mixed.out
    shiftcrypt-mixed.out)
for name in tr halfturn shiftcrypt; do
    made+=("$name.times" "$name.cpu" "$name.clock" "$name.peaks" "$name.rss")
done
clean_up() {
    for name in "${made[@]}"; do
        rm -f "${out:?}/$name"
    done
}
trap clean_up EXIT
clean_up

# A line of mixed text, made from a fixed seed so that every run measures
# the same bytes: mostly lower-case letters, with capitals, digits, blanks
# and punctuation.  A 64 KiB block is drawn and repeated to the full size.
make_inputs() {
    local block="$out/block.txt"
    awk 'BEGIN {
        srand(20261208)
        chars = "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"
        chars = chars "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        chars = chars "0123456789        ,.;:!?()-\047\"{}~"
        n = length(chars)
        for (i = 0; i < 65536; ++i) {
            printf "%s", substr(chars, int(rand() * n) + 1, 1)
        }
    }' >"$block"
    local copies=$(((line_bytes + 65535) / 65536))
    for ((i = 0; i < copies; ++i)); do cat "$block"; done | head -c "$line_bytes" >"$out/line.body"

    { cat "$out/line.body"; printf '\n'; } >"$out/mixed.in"
    { cat "$out/line.body"; printf '\n1\n13\n'; } >"$out/mixed-crypt.in"
    # Every character that is not a lower-case letter becomes a blank.
    tr -c 'a-z' ' ' <"$out/line.body" >"$out/lower.body"
    { cat "$out/lower.body"; printf '\n'; } >"$out/lower.in"
    { cat "$out/lower.body"; printf '\n1\n13\n'; } >"$out/lower-crypt.in"
}

# Runs a command on an input file, fed as BENCH_FEED says.
feed_run() {
    local input="$1"
    shift
    if [ "$feed" = pipe ]; then
        cat "$input" | "$@"
    else
        "$@" <"$input"
    fi
}

# The output line of a program, without its prompt lines.
after_prompts() {
    tail -n +"$(($1 + 1))" "$2"
}

same_or_fail() {
    cmp -s "$1" "$2" || fail "$3: output differs ($1 and $2)"
}

verify() {
    echo "== checking the outputs"
    tr 'a-z' 'n-za-m' <"$out/lower.in" >"$out/tr-lower.out"
    "$bin/halfturn" <"$out/lower.in" >"$out/halfturn-lower.out"
    "$bin/shiftcrypt" <"$out/lower-crypt.in" >"$out/shiftcrypt-lower.out"
    same_or_fail <(after_prompts 1 "$out/halfturn-lower.out") "$out/tr-lower.out" \
        "halfturn on lower-case text and blanks against tr"
    same_or_fail <(after_prompts 3 "$out/shiftcrypt-lower.out") "$out/tr-lower.out" \
        "shiftcrypt on lower-case text and blanks against tr"

    # The rule for printable text and shift 13: blanks stay, a to m gain 13,
    # n to z lose 13, and every other printable character (codes 33 to 96
    # and 123 to 126, all above 13) loses 13.
    tr 'a-z\041-\140\173-\176' 'n-za-m\024-\123\156-\161' <"$out/mixed.in" >"$out/rule-mixed.out"
    "$bin/halfturn" <"$out/mixed.in" >"$out/halfturn-mixed.out"
    "$bin/shiftcrypt" <"$out/mixed-crypt.in" >"$out/shiftcrypt-mixed.out"
    same_or_fail <(after_prompts 1 "$out/halfturn-mixed.out") "$out/rule-mixed.out" \
        "halfturn on mixed text against the rule"
    same_or_fail <(after_prompts 3 "$out/shiftcrypt-mixed.out") "$out/rule-mixed.out" \
        "shiftcrypt on mixed text against the rule"
    echo "   halfturn and shiftcrypt agree with tr and with the rule"
}

# Times one command; appends its wall seconds, its processor seconds (user
# and system, with the feeding cat in pipe mode) and its peak KiB to the
# named files.
time_one() {
    local name="$1" input="$2"
    shift 2
    local TIMEFORMAT='%3R %3U %3S'
    { time feed_run "$input" "$gnu_time" -f %M -o "$out/$name.rss" "$@" >/dev/null; } 2>"$out/$name.clock"
    awk '{ print $1 }' "$out/$name.clock" >>"$out/$name.times"
    awk '{ print $2 + $3 }' "$out/$name.clock" >>"$out/$name.cpu"
    cat "$out/$name.rss" >>"$out/$name.peaks"
}

median() {
    sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

largest() {
    sort -n "$1" | tail -n 1
}

echo "== making a line of $mib MiB in $out"
make_inputs
verify

echo "== timing $runs rounds, input fed as a $feed"
time_program() {
    case "$1" in
    tr) time_one tr "$out/mixed.in" tr 'a-z' 'n-za-m' ;;
    halfturn) time_one halfturn "$out/mixed.in" "$bin/halfturn" ;;
    shiftcrypt) time_one shiftcrypt "$out/mixed-crypt.in" "$bin/shiftcrypt" ;;
    esac
}
programs=(tr halfturn shiftcrypt)
for ((round = 0; round < runs; ++round)); do
    for ((k = 0; k < 3; ++k)); do
        time_program "${programs[(round + k) % 3]}"
    done
done

tr_wall=$(median "$out/tr.times")
tr_cpu=$(median "$out/tr.cpu")
printf '%-11s %8s %6s %8s %6s %10s %7s\n' program "wall s" "x tr" "cpu s" "x tr" "peak KiB" "x line"
for name in tr halfturn shiftcrypt; do
    wall=$(median "$out/$name.times")
    cpu=$(median "$out/$name.cpu")
    peak=$(largest "$out/$name.peaks")
    awk -v n="$name" -v w="$wall" -v tw="$tr_wall" -v c="$cpu" -v tc="$tr_cpu" -v p="$peak" \
        -v b="$line_bytes" 'BEGIN {
            printf "%-11s %8.3f %6.2f %8.3f %6.2f %10d %7.2f\n", n, w, w / tw, c, c / tc, p, p * 1024 / b
        }'
done
echo "(medians of $runs rounds; peak is the largest of them)"
