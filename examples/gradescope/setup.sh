#!/bin/sh
# Gradescope runs this once, as root, while it builds the autograder's
# image: it installs console-lessons from the .deb that the autograder's
# zip holds beside this script, with what the package depends on.
#
# The zip: setup.sh, run_autograder, console-lessons_<version>_amd64.deb,
# and, for cases of your own, a folder cases/ (cases/hidden/ for hidden
# ones; see lessons-check(1), --cases).
set -eu

# Where Gradescope unpacks the zip, and the package tool; another for a test.
SOURCE=${SOURCE:-/autograder/source}
APT_GET=${APT_GET:-apt-get}

set -- "$SOURCE"/console-lessons_*.deb
if [ ! -f "$1" ] || [ $# -ne 1 ]; then
    echo "setup.sh: the zip must hold one console-lessons_*.deb beside setup.sh" >&2
    exit 1
fi
"$APT_GET" update
DEBIAN_FRONTEND=noninteractive "$APT_GET" install -y "$1"

# A submission may run unconfined, as nobody, where the container forbids
# bubblewrap's namespaces: only root may read the cases then.
if [ -d "$SOURCE/cases" ]; then
    chmod -R go-rwx "$SOURCE/cases"
fi
