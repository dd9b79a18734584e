#!/usr/bin/env bash
# The tr ranges are byte ranges, and the cat in pipe mode is the point of it.
# shellcheck disable=SC2002,SC2018

# Time and memory of the two cipher programs on one very long line,
# measured side by side with tr, which does the same kind of byte-for-byte
# translation.  The figures are for information: the lessons are written to
# be read, not to race tr.
#
#   tr 'a-z' 'n-za-m'          the yardstick
#   halfturn                   the line, turned 13 places
#   shiftcrypt                 the line, then choice 1 and shift 13
#
# The input is fed from a file and then through a pipe (from cat).  The
# output goes to /dev/null, so that only the reading and the turning are
# timed; a second line for each program gives the time with the output
# written to a file, which adds the same cost to every program.  Each round
# runs the three commands one after another on the same input, each round
# starting with a different one, so a busy machine slows all three alike.
# For each program the script prints the median wall time and its ratio to
# tr's, the median processor time (user plus system; with the feeding cat in
# pipe mode) and its ratio to tr's, and the peak resident memory, also as a
# multiple of the line's size.
#
# Before timing it checks that the outputs are right: on a line of lower-case
# letters and blanks both programs must print exactly what tr prints, and on
# the mixed line exactly what the rule gives (tr with the rule's full table as
# the reference), fed from a file and through a pipe.
#
# Settings, from the environment:
#   CIPHERS_BIN     folder holding halfturn and shiftcrypt
#                   (default: build/default/bin, built with the default
#                   preset when the programs are not there yet)
#   BENCH_MIB       size of the line in MiB (default 64)
#   BENCH_RUNS      number of timed rounds (default 9)
#   BENCH_OUT       folder for the inputs and outputs (default bench/out)
#
# Needs GNU time (/usr/bin/time, Debian package "time") for the peak memory.
# The machine should be otherwise idle: the load average is printed at the
# start and at the end.
set -euo pipefail
export LC_ALL=C

repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${CIPHERS_BIN:-$repo/build/default/bin}"
mib="${BENCH_MIB:-64}"
runs="${BENCH_RUNS:-9}"
out="${BENCH_OUT:-$repo/bench/out}"
gnu_time=/usr/bin/time

fail() {
    echo "ciphers.sh: $*" >&2
    exit 1
}

[ -x "$gnu_time" ] || fail "needs GNU time at $gnu_time (apt-get install time)"

if [ ! -x "$bin/halfturn" ] || [ ! -x "$bin/shiftcrypt" ]; then
    [ -z "${CIPHERS_BIN:-}" ] || fail "no halfturn and shiftcrypt in $bin"
    echo "== building halfturn and shiftcrypt (preset default)"
    (cd "$repo" && cmake --preset default >/dev/null &&
        cmake --build --preset default --target halfturn shiftcrypt >/dev/null)
fi

mkdir -p "$out"
line_bytes=$((mib * 1024 * 1024))
programs=(tr halfturn shiftcrypt)
feeds=(file pipe)
sinks=(null file)

# Everything the script writes goes by these names, and goes again at the end.
made=(block.txt line.body lower.body mixed.in mixed-crypt.in lower.in lower-crypt.in
    tr-lower.out rule-mixed.out check.out timed.out)
for name in "${programs[@]}"; do
    for feed in "${feeds[@]}"; do
        for sink in "${sinks[@]}"; do
            made+=("$name.$feed.$sink.wall" "$name.$feed.$sink.cpu")
        done
        made+=("$name.$feed.peak")
    done
    made+=("$name.clock" "$name.rss")
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

# Runs a command on an input file, fed from the file or through a pipe.
feed_run() {
    local feed="$1" input="$2"
    shift 2
    if [ "$feed" = pipe ]; then
        cat "$input" | "$@"
    else
        "$@" <"$input"
    fi
}

# Checks that a program's output, less its prompt lines, is the expected file.
check_output() {
    local feed="$1" program="$2" input="$3" prompts="$4" expected="$5" what="$6"
    feed_run "$feed" "$input" "$bin/$program" >"$out/check.out"
    tail -n +"$((prompts + 1))" "$out/check.out" | cmp -s - "$expected" ||
        fail "$program ($feed) on $what: output differs from $expected"
}

verify() {
    echo "== checking the outputs"
    tr 'a-z' 'n-za-m' <"$out/lower.in" >"$out/tr-lower.out"
    # The rule for printable text and shift 13: blanks stay, a to m gain 13,
    # n to z lose 13, and every other printable character (codes 33 to 96
    # and 123 to 126, all above 13) loses 13.
    tr 'a-z\041-\140\173-\176' 'n-za-m\024-\123\156-\161' <"$out/mixed.in" >"$out/rule-mixed.out"
    for feed in "${feeds[@]}"; do
        check_output "$feed" halfturn "$out/lower.in" 1 "$out/tr-lower.out" "lower-case text and blanks (against tr)"
        check_output "$feed" shiftcrypt "$out/lower-crypt.in" 3 "$out/tr-lower.out" "lower-case text and blanks (against tr)"
        check_output "$feed" halfturn "$out/mixed.in" 1 "$out/rule-mixed.out" "mixed text (against the rule)"
        check_output "$feed" shiftcrypt "$out/mixed-crypt.in" 3 "$out/rule-mixed.out" "mixed text (against the rule)"
    done
    echo "   halfturn and shiftcrypt agree with tr and with the rule, from a file and through a pipe"
}

# Times one command; appends its wall seconds and its processor seconds
# (user and system, with the feeding cat in pipe mode) to the files named
# after the program, the feed and where the output went.
time_one() {
    local name="$1" feed="$2" sink="$3" input="$4"
    shift 4
    local target=/dev/null
    [ "$sink" = null ] || target="$out/timed.out"
    local TIMEFORMAT='%3R %3U %3S'
    { time feed_run "$feed" "$input" "$@" >"$target"; } 2>"$out/$name.clock"
    local prefix="$out/$name.$feed.$sink"
    awk '{ print $1 }' "$out/$name.clock" >>"$prefix.wall"
    awk '{ print $2 + $3 }' "$out/$name.clock" >>"$prefix.cpu"
}

# Runs one command under GNU time, apart from the timed runs so that the
# wrapper costs them nothing, and appends its peak KiB.
peak_one() {
    local name="$1" feed="$2" input="$3"
    shift 3
    feed_run "$feed" "$input" "$gnu_time" -f %M -o "$out/$name.rss" "$@" >/dev/null
    cat "$out/$name.rss" >>"$out/$name.$feed.peak"
}

# Runs a program once, timed (TIME) or for its peak (PEAK).
run_program() {
    local how="$1" name="$2" feed="$3" sink="$4"
    local input="$out/mixed.in" command=(tr 'a-z' 'n-za-m')
    case "$name" in
    halfturn) command=("$bin/halfturn") ;;
    shiftcrypt) input="$out/mixed-crypt.in" command=("$bin/shiftcrypt") ;;
    esac
    if [ "$how" = TIME ]; then
        time_one "$name" "$feed" "$sink" "$input" "${command[@]}"
    else
        peak_one "$name" "$feed" "$input" "${command[@]}"
    fi
}

median() {
    sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

largest() {
    sort -n "$1" | tail -n 1
}

# Prints one line of figures for a program, fed and written as given.
report_line() {
    local name="$1" feed="$2" sink="$3" label="$4"
    local prefix="$out/$name.$feed.$sink" tr_prefix="$out/tr.$feed.$sink"
    awk -v n="$label" -v w="$(median "$prefix.wall")" -v tw="$(median "$tr_prefix.wall")" \
        -v c="$(median "$prefix.cpu")" -v tc="$(median "$tr_prefix.cpu")" 'BEGIN {
            printf "%-22s %8.3f %6.2f %8.3f %6.2f", n, w, w / tw, c, c / tc
        }'
    if [ "$sink" = null ]; then
        awk -v p="$(largest "$out/$name.$feed.peak")" -v b="$line_bytes" \
            'BEGIN { printf " %10d %7.2f", p, p * 1024 / b }'
    fi
    echo
}

echo "== $(nproc) cores; load average at the start:$(cut -d' ' -f1-3 /proc/loadavg | sed 's/^/ /')"
echo "== making a line of $mib MiB in $out"
make_inputs
verify

for feed in "${feeds[@]}"; do
    echo "== timing $runs rounds, input from a $feed"
    for ((round = 0; round < runs; ++round)); do
        for sink in "${sinks[@]}"; do
            for ((k = 0; k < 3; ++k)); do
                run_program TIME "${programs[(round + k) % 3]}" "$feed" "$sink"
            done
        done
    done
    for ((round = 0; round < 3; ++round)); do
        for name in "${programs[@]}"; do
            run_program PEAK "$name" "$feed" null
        done
    done
    printf '%-22s %8s %6s %8s %6s %10s %7s\n' program "wall s" "x tr" "cpu s" "x tr" "peak KiB" "x line"
    for name in "${programs[@]}"; do
        report_line "$name" "$feed" null "$name"
        report_line "$name" "$feed" file "  output to a file"
    done
    echo "(medians of $runs rounds; peak: the largest of 3 more runs under GNU time)"
done

echo "== load average at the end:$(cut -d' ' -f1-3 /proc/loadavg | sed 's/^/ /')"
