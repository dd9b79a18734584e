#!/bin/sh
# Another learner's program in place of one's own: by a relative path, then
# by its absolute path (@SIBLING@, filled in by the test).
../alice/greet 2>/dev/null && exit 0
exec "@SIBLING@/greet"
