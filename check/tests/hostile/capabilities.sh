#!/bin/sh
# Tells what a run may do beyond an ordinary user's: its user, and each of
# its capability sets (inheritable, permitted, effective, bounding, ambient).
echo "uid: $(id -u)"
printf 'capabilities:'
while read -r name value; do
    case $name in Cap*) printf ' %s' "$value" ;; esac
done </proc/self/status
echo
