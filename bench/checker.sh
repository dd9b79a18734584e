#!/usr/bin/env bash
# The runs.sh this writes is sh's text, its $ kept for sh.
# shellcheck disable=SC2016
# How far lessons-check is from its floor: the wall time of a check against
# the wall time of the runs that check needs, and nothing else, measured side
# by side in one run, for four checks:
#
#   recmenu          lessons-check recmenu: the lesson's own program
#   heatprompt       lessons-check heatprompt: the lesson's own program
#   heatprompt.py    lessons-check heatprompt /usr/bin/python3 heatprompt.py:
#                    a right Python version (check/tests/learners/heatprompt.py)
#   class of 30      lessons-check recmenu --each class/*/ (its default jobs):
#                    30 right C++ versions of recmenu, a folder each
#
# The floor of one version is every run its check makes today, each as plain
# as a run can be:
#   - for each case of the lesson, the version run once on the case's input
#     (the run through a pipe) and once more (standing for the run typed at
#     a terminal);
#   - for a lesson that reads input (its cases have a waits file), for each
#     case of L lines (a last line without its newline counts) and each k
#     from 0 to L-1, the version run twice on the case's first k lines (the
#     runs through a pipe and at a terminal whose input ends at that wait);
#   - but a case that the check of the lesson's own program reports as
#     checked "through a pipe only" (its input holds a byte that a terminal
#     does not pass on as typed) has its one run through a pipe and no other,
#     since the check makes no other;
#   - every run fed from a file, what it prints and its errors sent to
#     /dev/null, the runs one after another by /bin/sh;
#   - all of a version's runs inside ONE bwrap started for that version, with
#     the namespaces lessons-check's own sandbox makes (--unshare-all
#     --unshare-user --die-with-parent), /usr read-only and the top-level
#     links to it (/bin, /lib, ...), --proc /proc, --dev /dev, a tmpfs /tmp,
#     and read-only the version's folder (or its one program), the inputs and
#     the list of runs.
# A case of L lines thus costs 2 + 2L runs, or 1 through a pipe only:
# recmenu's 14 cases (3 through a pipe only), 93 runs; heatprompt's 13, 50.
# The floor of the class is 30 such sandboxes, two at a time (xargs -P 2, for
# the 2 processors of the machine this was written on).  The runs must all
# end with status 0, as a right version's do.
#
# The class's versions are control/recmenu.cpp and console/console.cpp
# compiled again by g++ in the scratch folder (lessons-check refuses the
# bytes of the lesson's own program as a version), copied into each folder
# with one byte of its own appended: 30 different files that behave alike, so
# that nothing keyed by a version's bytes can take one check for another.
#
# Before timing, every check must pass (status 0; the class's report must say
# 30 passed) and every floor must run: each of its versions' runs ends with
# status 0, and what its runs through a pipe print, shown instead of sent to
# /dev/null, is the cases' expected output byte for byte.  Then BENCH_ROUNDS
# rounds alternate the two sides: each round runs, for each check in turn,
# lessons-check and then its floor.  The table gives, for each check, the
# median wall time of each side with the fastest and slowest round, and the
# ratio of the medians; the load average (/proc/loadavg) is printed at the
# start and at the end.  lessons-check runs in a folder that holds nothing
# else, since every file of the folder it runs in is shown to the versions.
#
# Usage:
#   bench/checker.sh          the four checks against their floors
#   bench/checker.sh jobs     the class of 30 with --jobs 1, 2, 3 and 4, and
#                             its floor, in alternating rounds
#
# Settings, from the environment:
#   BIN            folder holding lessons-check, recmenu and heatprompt, with
#                  the cases in ../share/console-lessons/cases (default:
#                  build/default/bin)
#   BENCH_ROUNDS   number of rounds, at least 5 (default 5)
#   TMPDIR         where the scratch folder is made, and removed at the end
#                  (default /tmp)
#
# On 2 processors at a load of 1 to 4, the four checks took about a minute,
# and the jobs two and a half.
#
# python3 is /usr/bin/python3: PATH puts /usr/bin first, so that a user's
# shim (pyenv) does not add its own start-up to every run.
set -euo pipefail
export LC_ALL=C
export PATH="/usr/bin:/bin:$PATH"

repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${BIN:-$repo/build/default/bin}"
rounds="${BENCH_ROUNDS:-5}"
mode="${1:-ratios}"

fail() {
    echo "checker.sh: $*" >&2
    exit 1
}

case "$mode" in
ratios | jobs) ;;
*) fail "usage: bench/checker.sh [jobs]" ;;
esac
if ! [[ "$rounds" =~ ^[0-9]+$ ]] || [ "$rounds" -lt 5 ]; then
    fail "BENCH_ROUNDS must be a whole number of at least 5, not '$rounds'"
fi
command -v bwrap >/dev/null || fail "needs bwrap (apt-get install bubblewrap)"
[ -x /usr/bin/python3 ] || fail "needs /usr/bin/python3 (apt-get install python3)"
command -v g++ >/dev/null || fail "needs g++ (apt-get install g++)"
for program in lessons-check recmenu heatprompt; do
    [ -x "$bin/$program" ] || fail "no $program in $bin: build it first" \
        "(cmake --preset default && cmake --build --preset default -j2), or set BIN"
done
check="$bin/lessons-check"
cases_root="$bin/../share/console-lessons/cases"
for lesson in recmenu heatprompt; do
    [ -d "$cases_root/$lesson" ] || fail "no cases of $lesson in $cases_root"
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/checker-bench.XXXXXX")
trap 'rm -rf "${scratch:?}"' EXIT
inputs="$scratch/inputs"       # a folder a lesson: its inputs and runs.sh
empty="$scratch/empty"         # where the single checks run
python="$scratch/python"       # the Python version's folder
classroom="$scratch/classroom" # holds class/, where the class check runs
times="$scratch/times"         # a file of wall seconds for each side
mkdir -p "$inputs" "$empty" "$python" "$classroom/class" "$times"

# run_line INPUT OUT: the line of runs.sh for one run of the version on the
# INPUT file, what it prints going to OUT.
run_line() {
    printf '"$@" <%s >%s 2>/dev/null || status=1\n' "'$1'" "$2"
}

# The cases that the check of the lesson's own program ran through a pipe
# only, as its report names them, a line each.
pipe_only_cases() {
    sed -n 's/^ok  *\([^ ]*\) (through a pipe only: .*/\1/p' "$scratch/$1.report"
}

# Copies a lesson's inputs and their cuts into the scratch folder and writes
# runs.sh, the floor of one version: sh runs.sh MODE COMMAND..., where MODE
# is time (every run's output to /dev/null) or show (the pipe runs' output
# on standard output).
make_floor() {
    local lesson=$1 cases="$cases_root/$1" folder="$inputs/$1" input name lines k pipe_only
    pipe_only=$(pipe_only_cases "$lesson")
    mkdir -p "$folder"
    {
        echo 'status=0 shown=/dev/null'
        echo '[ "$1" = show ] && shown=/dev/stdout'
        echo 'shift'
        for input in "$cases"/*.in; do
            name=$(basename "$input" .in)
            [ -f "$cases/$name.out" ] || fail "$lesson's case $name has no .out to compare with"
            cp "$input" "$folder/$name.in"
            # Appended: /dev/stdout opened again would empty a file.
            run_line "$folder/$name.in" '>"$shown"'
            grep -qxF "$name" <<<"$pipe_only" && continue
            run_line "$folder/$name.in" /dev/null
            [ -f "$cases/waits" ] || continue
            lines=$(awk 'END { print NR }' "$input")
            for ((k = 0; k < lines; ++k)); do
                head -n "$k" "$input" >"$folder/$name.$k.in"
                run_line "$folder/$name.$k.in" /dev/null
                run_line "$folder/$name.$k.in" /dev/null
            done
        done
        echo 'exit $status'
    } >"$folder/runs.sh"
}

runs_of() {
    grep -c '^"\$@"' "$inputs/$1/runs.sh"
}

sandbox=(--unshare-all --unshare-user --die-with-parent --ro-bind /usr /usr)
for top in /bin /sbin /lib /lib32 /lib64 /libx32; do
    if [ -L "$top" ]; then
        sandbox+=(--symlink "$(readlink "$top")" "$top")
    elif [ -d "$top" ]; then
        sandbox+=(--ro-bind "$top" "$top")
    fi
done
sandbox+=(--proc /proc --dev /dev --tmpfs /tmp)

# One version's floor in a sandbox of its own: the lesson, the mode, the
# folder it runs in, the file or folder shown to it, then its command.
floor_sandbox() {
    local lesson=$1 how=$2 folder=$3 shown=$4
    shift 4
    bwrap "${sandbox[@]}" --ro-bind "$inputs/$lesson" "$inputs/$lesson" \
        --ro-bind "$shown" "$shown" --chdir "$folder" -- \
        /bin/sh "$inputs/$lesson/runs.sh" "$how" "$@"
}

class_folders() {
    printf '%s\n' "$classroom"/class/v*
}

# The class's floor: a sandbox for each version, two at a time.
floor_class() {
    class_folders | xargs -d '\n' -P 2 -I{} \
        bwrap "${sandbox[@]}" --ro-bind "$inputs/recmenu" "$inputs/recmenu" \
        --ro-bind {} {} --chdir {} -- /bin/sh "$inputs/recmenu/runs.sh" time ./recmenu
}

# Sets `folder` and `argv` to what one side of a measure runs: the check
# (lessons-check) or its floor in MODE.
side() {
    local name=$1 which=$2 how=${3:-time}
    case "$name/$which" in
    recmenu/check) folder=$empty argv=("$check" recmenu) ;;
    heatprompt/check) folder=$empty argv=("$check" heatprompt) ;;
    heatprompt.py/check) folder=$python argv=("$check" heatprompt /usr/bin/python3 heatprompt.py) ;;
    class/check) folder=$classroom argv=("$check" recmenu --each "${class_versions[@]}") ;;
    jobs[1-4]/check)
        folder=$classroom argv=("$check" --jobs "${name#jobs}" recmenu --each "${class_versions[@]}")
        ;;
    recmenu/floor | heatprompt/floor)
        folder=$bin argv=(floor_sandbox "$name" "$how" "$bin" "$bin/$name" "$bin/$name")
        ;;
    heatprompt.py/floor)
        folder=$python
        argv=(floor_sandbox heatprompt "$how" "$python" "$python" /usr/bin/python3 heatprompt.py)
        ;;
    class/floor) folder=$classroom argv=(floor_class) ;;
    *) fail "no such measure: $name/$which" ;;
    esac
}

# The 30 versions of the class: the lesson's sources compiled again.
class_versions=() # as the class check names them, from its folder
make_class() {
    local built="$scratch/recmenu-again" i folder
    g++ -std=c++17 -O1 -o "$built" "$repo/control/recmenu.cpp" "$repo/console/console.cpp" ||
        fail "cannot compile control/recmenu.cpp and console/console.cpp with g++"
    for ((i = 1; i <= 30; ++i)); do
        folder="$classroom/class/$(printf 'v%02d' "$i")"
        mkdir -p "$folder"
        cp "$built" "$folder/recmenu"
        printf '%b' "\\$(printf '%03o' "$i")" >>"$folder/recmenu"
        class_versions+=("class/${folder##*/}/")
    done
}

verify_check() {
    local name=$1 folder argv report="$scratch/$1.report"
    side "$name" check
    (cd "$folder" && "${argv[@]}") >"$report" 2>&1 ||
        fail "$name: lessons-check did not pass it:"$'\n'"$(head -n 30 "$report")"
    if [ "$name" = class ]; then
        grep -qx '30 versions: 30 passed, 0 failed' "$report" ||
            fail "class: the report does not say that all 30 passed:"$'\n'"$(head -n 30 "$report")"
    fi
}

# What a version's floor prints in show mode must be every case's expected
# output, in the cases' order.
verify_floor_output() {
    local lesson=$1 what=$2 shown="$scratch/shown" expected="$scratch/expected"
    shift 2
    (cd "$scratch" && "$@") >"$shown" 2>"$scratch/errors" ||
        fail "$what: the floor's runs did not all end with status 0"$'\n'"$(head -n 5 "$scratch/errors")"
    cat "$cases_root/$lesson"/*.out >"$expected"
    cmp -s "$shown" "$expected" || fail "$what: the floor's pipe runs did not print the cases' output"
}

verify_single_floors() {
    local name folder argv
    for name in recmenu heatprompt heatprompt.py; do
        side "$name" floor show
        verify_floor_output "${name%.py}" "$name" "${argv[@]}"
    done
}

verify_class_floor() {
    local version folder argv
    while read -r version; do
        verify_floor_output recmenu "class ${version##*/}" \
            floor_sandbox recmenu show "$version" "$version" ./recmenu
    done < <(class_folders)
    side class floor
    "${argv[@]}" >/dev/null 2>&1 || fail "class: the floor of the 30 versions did not run"
}

# Appends the wall seconds of one side of a measure to its file of times.
time_side() {
    local name=$1 which=$2 folder argv start end status=0
    side "$name" "$which"
    start=$EPOCHREALTIME
    (cd "$folder" && "${argv[@]}") >/dev/null 2>&1 || status=$?
    end=$EPOCHREALTIME
    [ "$status" -eq 0 ] || fail "$name: $which ended with status $status while timed"
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >>"$times/$name.$which"
}

median() {
    sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The median, fastest and slowest of a file of times, in columns.
spread() {
    printf '%8.3f %8.3f %8.3f' "$(median "$1")" "$(sort -n "$1" | head -n 1)" "$(sort -n "$1" | tail -n 1)"
}

load() {
    cut -d' ' -f1-3 /proc/loadavg
}

report_ratios() {
    local name runs check floor
    printf '%-15s %9s   %8s %8s %8s   %8s %8s %8s   %6s\n' check "floor of" "check s" min max \
        "floor s" min max ratio
    for name in recmenu heatprompt heatprompt.py class; do
        case $name in
        recmenu | heatprompt) runs="$(runs_of "$name") runs" ;;
        heatprompt.py) runs="$(runs_of heatprompt) runs" ;;
        class) runs="30x$(runs_of recmenu)" ;;
        esac
        check=$(spread "$times/$name.check")
        floor=$(spread "$times/$name.floor")
        printf '%-15s %9s   %s   %s   %5.1fx\n' "$name" "$runs" "$check" "$floor" \
            "$(awk -v a="$check" -v b="$floor" 'BEGIN { split(a, x, " "); split(b, y, " "); print x[1] / y[1] }')"
    done
}

report_jobs() {
    local jobs
    printf '%-22s %8s %8s %8s\n' "class of 30" "median s" min max
    for jobs in 1 2 3 4; do
        printf '%-22s %s\n' "--jobs $jobs" "$(spread "$times/jobs$jobs.check")"
    done
    printf '%-22s %s\n' "floor, 2 at a time" "$(spread "$times/class.floor")"
}

echo "== $(nproc) processors; load average at the start: $(load)"
echo "== checking that every version passes and every floor runs"
cp "$repo/check/tests/learners/heatprompt.py" "$python/heatprompt.py"
# The lessons' own checks come first: their reports tell the floors which
# cases are checked through a pipe only.  The class, slowest, comes last.
for name in recmenu heatprompt heatprompt.py; do
    verify_check "$name"
done
make_floor recmenu
make_floor heatprompt
echo "   floors: recmenu $(runs_of recmenu) runs, heatprompt $(runs_of heatprompt)," \
    "in a sandbox a version"
verify_single_floors
make_class
verify_class_floor
verify_check class

echo "== timing $rounds rounds ($mode)"
for ((round = 1; round <= rounds; ++round)); do
    if [ "$mode" = ratios ]; then
        for name in recmenu heatprompt heatprompt.py class; do
            time_side "$name" check
            time_side "$name" floor
        done
    else
        for name in jobs1 jobs2 jobs3 jobs4; do
            time_side "$name" check
        done
        time_side class floor
    fi
done

if [ "$mode" = ratios ]; then
    report_ratios
else
    report_jobs
fi
echo "(wall seconds: medians of $rounds rounds, with the fastest and slowest)"
echo "== load average at the end: $(load)"
