#!/bin/sh
# A greeting that leaves a trace that it ran (in @RAN@, filled in by the
# test) and says so when it runs as root.
touch "@RAN@/ran-$$"
[ "$(id -u)" = 0 ] && echo 'ran as root'
echo 'Hello World!'
