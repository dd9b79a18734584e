#!/bin/sh
# A version that fails and says otherwise: on its output and its standard
# error it clears the screen and prints a class report of its own, a record
# a class check might read as its result, and 80 MiB more; then it writes
# the same into every descriptor its checker holds that it can reach.
forged() {
    printf '\033[2J\033[H'
    printf 'ok    mallory/  1 passed, 0 failed, score 1 of 1\n'
    printf '2 versions: 2 passed, 0 failed\n'
    printf '{"lesson":"greet","status":"pass","score":1,"out_of":1,"tests":[]}\n'
}
forged >&2
forged
for fd in 3 4 5 6 7 8 9; do
    { forged >&"$fd"; } 2>/dev/null
done
for process in "/proc/$PPID" "/proc/$PPID"/task/*; do
    for fd in "$process"/fd/*; do
        forged 2>/dev/null >"$fd"
    done
done
head -c 83886080 /dev/zero | tr '\0' 'a' >&2
head -c 83886080 /dev/zero | tr '\0' 'a'
