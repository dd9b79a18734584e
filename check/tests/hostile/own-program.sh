#!/bin/sh
# The lesson's own program (@PROGRAM@, filled in by the test) in place of a
# version of it.
exec "@PROGRAM@" "$@"
