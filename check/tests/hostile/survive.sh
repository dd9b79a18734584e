#!/bin/sh
# A greeting that outlives its check and writes where it must not: sleepers
# in a session of their own, behind nohup, deaf to every signal it may
# ignore; the home (~/.bashrc, and the user's home @HOME@ by its path) and
# another learner's program (../alice/greet, @SIBLING@/greet), all filled in
# by the test.  Then it waits, until it is stopped.  @MARK@ marks its
# processes for the test, each with a second number of its own, which
# sleep adds: 1 in a session of its own, 2 behind nohup, 3 deaf, 4 itself.
setsid sleep @MARK@ 1 </dev/null >/dev/null 2>&1 &
nohup sleep @MARK@ 2 </dev/null >/dev/null 2>&1 &
(trap '' HUP INT TERM; exec sleep @MARK@ 3) </dev/null >/dev/null 2>&1 &
for home in "$HOME" "@HOME@"; do
    echo 'echo owned' >>"$home/.bashrc" 2>/dev/null
    echo owned >"$home/owned" 2>/dev/null
done
for sibling in ../alice "@SIBLING@"; do
    printf '#!/bin/sh\necho owned\n' >"$sibling/greet" 2>/dev/null
done
echo 'Hello World!'
[ "$(id -u)" = 0 ] && echo 'ran as root'
touch "@RAN@/ran-$$" 2>/dev/null
exec sleep @MARK@ 4
