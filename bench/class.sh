#!/usr/bin/env bash
# How long lessons-check takes over a class of 30 versions, checked at once
# (lessons-check PROGRAM --each ...) and one after another (a shell loop of
# 30 checks, as an instructor would write it), for three classes:
#
#   recmenu-cpp     30 right C++ versions of recmenu, built
#                   (check/tests/learners/recmenu.cpp, g++ -std=c++17 -O2)
#   recmenu-src     the same 30 as sources, recmenu.cpp in each folder,
#                   which lessons-check builds itself
#   heatprompt-py   30 right Python versions of heatprompt
#                   (check/tests/learners/heatprompt.py, run by python3)
#   recmenu-hang    25 right C++ versions of recmenu and 5 that never end
#                   once their input has ended (recmenu-endless)
#
# Each version differs from the others by a byte at its end (a comment in a
# source), as no two learners hand in the same file, and lessons-check
# refuses a copy of the lesson's own program.  At once, the class is
# checked with the default number of jobs and with --jobs 1, which parts what the parallel checks
# gain from what the class check itself costs.  Each figure is the median
# wall time of BENCH_RUNS runs (/usr/bin/time); before timing, each class is
# checked once and its verdicts must be what the class holds: every right
# version passes, every hanging one fails.
#
# Settings, from the environment:
#   LESSONS_BIN    folder holding lessons-check, recmenu and heatprompt
#                  (default: build/default/bin, built with the default
#                  preset when they are not there yet)
#   LEARNERS_BIN   folder holding recmenu-endless (default:
#                  build/default/tests/learners)
#   BENCH_RUNS     number of timed runs of each command (default 3)
#   BENCH_OUT      folder for the classes (default bench/out)
#
# python3 is /usr/bin/python3: PATH puts /usr/bin first, so that a user's
# shim (pyenv) does not add its own start-up to every run.
set -euo pipefail
export LC_ALL=C
export PATH="/usr/bin:/bin:$PATH"

repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${LESSONS_BIN:-$repo/build/default/bin}"
learners="${LEARNERS_BIN:-$repo/build/default/tests/learners}"
runs="${BENCH_RUNS:-3}"
out="${BENCH_OUT:-$repo/bench/out}"
gnu_time=/usr/bin/time

fail() {
    echo "class.sh: $*" >&2
    exit 1
}

[ -x "$gnu_time" ] || fail "needs GNU time at $gnu_time (apt-get install time)"
[ -x /usr/bin/python3 ] || fail "needs /usr/bin/python3 (apt-get install python3)"

if [ ! -x "$bin/lessons-check" ] || [ ! -x "$learners/recmenu-endless" ]; then
    [ -z "${LESSONS_BIN:-}${LEARNERS_BIN:-}" ] || fail "no lessons-check in $bin or no recmenu-endless in $learners"
    echo "== building lessons-check, the lessons and the learners' versions (preset default)"
    (cd "$repo" && cmake --preset default >/dev/null &&
        cmake --build --preset default --target lessons-check recmenu heatprompt \
            learner_recmenu-endless >/dev/null)
fi
check="$bin/lessons-check"

classes="$out/classes"
trap 'rm -rf "${classes:?}"' EXIT
rm -rf "$classes"

# A class of 30 folders, v01 to v30: the first `right` hold the right
# version, the others the wrong one, each copied in under its name with its
# number after it, after `mark` (for a source, a comment's start).
make_class() {
    local class=$1 right=$2 right_file=$3 wrong_file=$4 name=$5 mark=${6:-} i folder
    for ((i = 1; i <= 30; ++i)); do
        folder="$classes/$class/$(printf 'v%02d' "$i")"
        mkdir -p "$folder"
        if [ "$i" -le "$right" ]; then
            cp "$right_file" "$folder/$name"
        else
            cp "$wrong_file" "$folder/$name"
        fi
        printf '%s%02d\n' "$mark" "$i" >>"$folder/$name"
    done
}

mkdir -p "$classes"
g++ -std=c++17 -O2 -o "$classes/recmenu" "$repo/check/tests/learners/recmenu.cpp"
make_class recmenu-cpp 30 "$classes/recmenu" "$classes/recmenu" recmenu
make_class recmenu-src 30 "$repo/check/tests/learners/recmenu.cpp" \
    "$repo/check/tests/learners/recmenu.cpp" recmenu.cpp '// version '
make_class heatprompt-py 30 "$repo/check/tests/learners/heatprompt.py" \
    "$repo/check/tests/learners/heatprompt.py" heatprompt.py '# version '
make_class recmenu-hang 25 "$classes/recmenu" "$learners/recmenu-endless" recmenu
lesson_of() { echo "${1%%-*}"; }

# The verdicts: `passing` versions must pass, the others fail.
verify() {
    local class=$1 passing=$2 lesson report
    lesson=$(lesson_of "$class")
    report=$("$check" "$lesson" --each "$classes/$class"/* || true)
    grep -qx "30 versions: $passing passed, $((30 - passing)) failed" <<<"$report" ||
        fail "$class: not $passing versions passed and $((30 - passing)) failed:"$'\n'"$report"
}

# The median wall time, in seconds, of BENCH_RUNS runs of the command.
median_time() {
    local times=() i
    for ((i = 0; i < runs; ++i)); do
        "$gnu_time" -f %e -o "$classes/time" "$@" >/dev/null 2>&1
        times+=("$(tail -n 1 "$classes/time")")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

# A shell loop of single checks, each version's program named as a learner
# would name it.
one_after_another() {
    local class=$1 lesson version
    lesson=$(lesson_of "$class")
    for version in "$classes/$class"/*; do
        if [ -f "$version/$lesson.py" ]; then
            "$check" "$lesson" python3 "$version/$lesson.py" || true
        elif [ -f "$version/$lesson.cpp" ]; then
            "$check" "$lesson" "$version/$lesson.cpp" || true
        else
            "$check" "$lesson" "$version/$lesson" || true
        fi
    done
}
export -f one_after_another lesson_of
export check classes

echo "== $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
verify recmenu-cpp 30
verify recmenu-src 30
verify heatprompt-py 30
verify recmenu-hang 25

printf '%-16s %12s %14s %16s\n' class "at once" "--jobs 1" "one by one"
for class in recmenu-cpp recmenu-src heatprompt-py recmenu-hang; do
    lesson=$(lesson_of "$class")
    at_once=$(median_time sh -c "\"\$0\" $lesson --each \"\$1\"/* || true" "$check" "$classes/$class")
    one_job=$(median_time sh -c "\"\$0\" --jobs 1 $lesson --each \"\$1\"/* || true" "$check" \
        "$classes/$class")
    one_by_one=$(median_time bash -c "one_after_another $class")
    printf '%-16s %10s s %12s s %14s s\n' "$class" "$at_once" "$one_job" "$one_by_one"
done
echo "== load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
