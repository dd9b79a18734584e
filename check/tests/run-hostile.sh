#!/usr/bin/env bash
# The hostile suite (hostile_test) as CI runs it: as an ordinary user, each
# test in a process of its own under a timeout, and the whole suite inside
# a safety net that holds whatever the checker under test lets through, so
# that a failing check cannot take the machine down:
#   - as root, a cgroup of its own caps the memory (tmpfs and shared memory
#     included) and the tasks of everything the suite starts, and ends
#     whatever is left in it at the end: cgroup v2 where its memory and pids
#     controllers are given to this script's cgroup, else a systemd scope
#     where systemd keeps the tree, else v1;
#   - always, the user's rlimits: processes (which counts every process and
#     thread of the user, in every user namespace below) and open files.
# Usage: check/tests/run-hostile.sh BUILD_FOLDER [USER]
#   As root the suite runs as USER (lessons-ci unless given), who must be
#   let through the folders above the build; as an ordinary user, as that
#   user, under the rlimits alone.
set -euo pipefail

MEMORY_BYTES=$((3 << 30)) # for the whole suite: each check is held to 256 MiB
TASKS=1024
OPEN_FILES=4096
TEST_SECONDS=300

# Runs each test of the suite under its timeout; fails when any fails.
run_suite() {
    local tests=$1 suite="" line name failed=()
    ulimit -u "$TASKS" -n "$OPEN_FILES"
    while IFS= read -r line; do
        case $line in
            " "*)
                name=${line#  }
                name=$suite${name%% *}
                timeout --kill-after=10 "$TEST_SECONDS" "$tests" --gtest_filter="$name" ||
                    failed+=("$name")
                ;;
            *) suite=$line ;;
        esac
    done < <("$tests" --gtest_list_tests)
    if [ ${#failed[@]} -gt 0 ]; then
        echo "failed: ${failed[*]}"
        return 1
    fi
}

# The folder of a new cgroup under this process's own, with the caps set,
# or nothing where none can be made.
make_cgroup() {
    local name=lessons-hostile-$$ own folder
    if [ -f /sys/fs/cgroup/cgroup.controllers ]; then
        own=$(awk -F: '$1 == "0" { print $3 }' /proc/self/cgroup)
        folder=/sys/fs/cgroup${own%/}
        if ! grep -qw memory "$folder/cgroup.subtree_control" ||
            ! grep -qw pids "$folder/cgroup.subtree_control" || ! mkdir "$folder/$name"; then
            return 0
        fi
        echo "$MEMORY_BYTES" >"$folder/$name/memory.max"
        echo 0 >"$folder/$name/memory.swap.max" 2>/dev/null || true
        echo "$TASKS" >"$folder/$name/pids.max"
        echo "$folder/$name"
        return 0
    fi
    for controller in memory pids; do
        own=$(awk -F: -v controller=$controller '$2 == controller { print $3 }' /proc/self/cgroup)
        folder=/sys/fs/cgroup/$controller${own%/}
        if [ -z "$own" ] || ! mkdir "$folder/$name" 2>/dev/null; then
            continue
        fi
        if [ $controller = memory ]; then
            echo "$MEMORY_BYTES" >"$folder/$name/memory.limit_in_bytes"
        else
            echo "$TASKS" >"$folder/$name/pids.max"
        fi
        echo "$folder/$name"
    done
}

# Ends every process left in the cgroups, by its id, and removes them.
end_cgroups() {
    local folder pid
    for folder in "$@"; do
        for _ in 1 2 3 4 5; do
            [ -s "$folder/cgroup.procs" ] || break
            while read -r pid; do
                kill -KILL "$pid" 2>/dev/null || true
            done <"$folder/cgroup.procs"
            sleep 0.2
        done
        rmdir "$folder" 2>/dev/null || echo "cannot remove $folder: processes are left in it"
    done
}

if [ "${1:-}" = --suite ]; then
    run_suite "$2"
    exit
fi
tests=$(cd "$1" && pwd)/tests/hostile_test
user=${2:-lessons-ci}
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
if [ "$(id -u)" != 0 ]; then
    cd / && exec "$self" --suite "$tests"
fi

mapfile -t cgroups < <(make_cgroup)
scope=()
if [ ${#cgroups[@]} -eq 0 ] && [ -d /run/systemd/system ]; then
    # cgroup v2 where systemd keeps the tree: a scope of its own, stopped
    # (with whatever is left in it) at the end.
    unit=lessons-hostile-$$.scope
    scope=(systemd-run --scope --quiet --unit="$unit" -p MemoryMax="$MEMORY_BYTES"
        -p TasksMax="$TASKS" --)
    trap 'systemctl stop "$unit" 2>/dev/null || true' EXIT
elif [ ${#cgroups[@]} -eq 0 ]; then
    echo "run-hostile: no cgroup can be made here: memory is capped for each check only"
else
    trap 'end_cgroups "${cgroups[@]}"' EXIT
fi
status=0
(
    for folder in "${cgroups[@]}"; do
        echo "$BASHPID" >"$folder/cgroup.procs"
    done
    cd / && exec "${scope[@]}" runuser -u "$user" -- "$self" --suite "$tests"
) || status=$?
exit $status
