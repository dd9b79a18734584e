#!/usr/bin/env bash
# bench/checker.sh run against a bin folder of the test's own: the build's
# programs and cases, and in place of lessons-check a script that prints the
# real lessons-check's reports, saved once, and ends with a status of the
# test's choosing.  The floors run for real: the test holds the script to
# stopping before it times anything when a check fails or a floor does not
# run its version, to the floor its header describes, and to leaving nothing
# behind.
#
# Usage: checker_test.sh BIN, the build's folder of lessons-check and the
# lessons' programs.
set -euo pipefail
export LC_ALL=C

repo="$(cd "$(dirname "$0")/../.." && pwd)"
built="$(cd "$1" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "${work:?}"' EXIT
mkdir -p "$work/tmp" "$work/empty"
passed=0 failed=0

# A bin folder named NAME whose recmenu is PROGRAM and whose lessons-check
# ends with STATUS, or with CLASS_STATUS for a class.
fake_bin() {
    local program=$2 status=$3 class_status=${4:-0} folder="$work/$1"
    mkdir -p "$folder/bin" "$folder/share/console-lessons"
    ln -s "$(cd "$built/../share/console-lessons/cases" && pwd)" "$folder/share/console-lessons/cases"
    cp "$program" "$folder/bin/recmenu"
    cp "$built/heatprompt" "$folder/bin/heatprompt"
    cp "$work"/*.report "$folder/bin/"
    cat >"$folder/bin/lessons-check" <<EOF
#!/bin/sh
[ "\$1" = --jobs ] && shift 2
case " \$* " in
*" --each "*)
    echo "30 versions: $((30 - class_status)) passed, $class_status failed"
    exit $class_status
    ;;
esac
cat "\$(dirname "\$0")/\$1.report"
exit $status
EOF
    chmod +x "$folder/bin/lessons-check"
    echo "$folder/bin"
}

# Runs the script with BIN and the arguments given; its status, standard
# output and errors go to $work/status, out and errors.
bench() {
    local bin=$1
    shift
    local status=0
    BIN=$bin TMPDIR="$work/tmp" bash "$repo/bench/checker.sh" "$@" >"$work/out" 2>"$work/errors" ||
        status=$?
    echo "$status" >"$work/status"
}

expect() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
        sed 's/^/  out: /' "$work/out"
        sed 's/^/  errors: /' "$work/errors"
    fi
}

status_is() { [ "$(cat "$work/status")" = "$1" ]; }
says() { grep -q -- "$1" "$work/$2"; }
times_nothing() { ! says '== timing' out; }
left_nothing() { [ -z "$(ls -A "$work/tmp")" ]; }

(cd "$work/empty" && "$built/lessons-check" recmenu >"$work/recmenu.report" &&
    "$built/lessons-check" heatprompt >"$work/heatprompt.report")
right=$(fake_bin right "$built/recmenu" 0)

bench "$right" sideways
expect "an unknown mode is a usage error" eval 'status_is 1 && says usage errors'
BENCH_ROUNDS=4 bench "$right"
expect "fewer than 5 rounds are refused" eval 'status_is 1 && says "at least 5" errors'
bench "$work/nowhere"
expect "a missing build is named" eval 'status_is 1 && says "no lessons-check in" errors'

bench "$(fake_bin failing "$built/recmenu" 1)"
expect "a check that fails stops the bench before it times" \
    eval 'status_is 1 && says "recmenu: lessons-check did not pass it" errors && times_nothing'
bench "$(fake_bin silent /bin/true 0)"
expect "a floor whose version prints nothing stops the bench" \
    eval 'status_is 1 && says "the floor.s pipe runs did not print" errors && times_nothing'
bench "$(fake_bin ending-badly /bin/false 0)"
expect "a floor whose runs fail stops the bench" \
    eval 'status_is 1 && says "did not all end with status 0" errors && times_nothing'

bench "$(fake_bin failing-class "$built/recmenu" 0 1)"
expect "a class check that fails stops the bench before it times" \
    eval 'status_is 1 && says "class: lessons-check did not pass it" errors &&
        times_nothing'
# Its floors were made and ran, each version's pipe runs printing the
# cases' output.  recmenu's 14 cases, 3 of them through a pipe only: 11 of
# 2 + 2L runs for L lines (34 lines), and 3 of one; heatprompt's 13, 12 of
# them of a line.
expect "the floors make every run the checks make" \
    says 'floors: recmenu 93 runs, heatprompt 50,' out
expect "the scratch folders are removed" left_nothing

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
