#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Interrupts the test suite at several points, as Ctrl-C (SIGINT to the
# terminal's process group) or a time limit (SIGTERM to it) would, and checks
# what is left: no process that the run started, nothing in /tmp that its user
# cannot remove, and a build folder that still answers from the bundled database.
# Usage: interrupted-suite.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected=$(printf '08061234567\tC109\t沖縄セルラー')
state() {
    for f in "$build/db.dat" "$build/install_manifest.txt"; do
        if [ -e "$f" ]; then sha256sum "$f"; else echo "absent $f"; fi
    done
}
before=$(state)
log=$(mktemp)
marker=$(mktemp)
trap 'rm -f "$log" "$marker"' EXIT

# Processes of the session a run was started in (the run's own, and whatever it
# started and did not end).
left_in() { ps -eo sid=,pid=,args= | awk -v s="$1" '$1 == s { $1 = ""; print }'; }

# interrupt SIGNAL SECONDS [TEST]: runs the one test (the whole suite without
# one) in a session of its own and signals its whole process group after SECONDS.
interrupt() {
    local signal=$1 seconds=$2 name=${3:-} what pid
    what="${name:-the whole suite} after ${seconds} s (SIG$signal)"
    touch "$marker"
    local filter=()
    [ -z "$name" ] || filter=(-R "^${name}\$")
    # A session of its own, with SIGINT taken as a terminal's Ctrl-C would be: a
    # shell starts background commands with it ignored, so it is reset first.
    perl -MPOSIX -e 'POSIX::setsid(); $SIG{INT} = $SIG{QUIT} = "DEFAULT"; exec @ARGV or die' \
        ctest --test-dir "$build" "${filter[@]}" >"$log" 2>&1 &
    pid=$!
    sleep "$seconds"
    kill -"$signal" -- -"$pid" 2>/dev/null
    # Up to half a minute for everything in the session to end.
    for _ in $(seq 60); do
        [ -z "$(left_in "$pid")" ] && break
        sleep 0.5
    done
    wait "$pid" 2>/dev/null
    local left
    left=$(left_in "$pid")
    if [ -n "$left" ]; then
        echo "$left"
        fail "processes left after interrupting $what"
        kill -KILL -- -"$pid" 2>/dev/null
    fi
    # What the interrupted tests left in /tmp must at least be removable.
    local stuck
    stuck=$(find /tmp -mindepth 1 -newer "$marker" -type d ! -perm -u+wx -print 2>/dev/null |
        head -n 5)
    [ -z "$stuck" ] || { echo "$stuck"; fail "unremovable folders in /tmp after interrupting $what"; }
    [ "$(state)" = "$before" ] || fail "the build folder changed after interrupting $what"
    local answer
    answer=$("$build/lumivo-lookup" 08061234567 2>&1)
    [ "$answer" = "$expected" ] || fail "after interrupting $what, build/lumivo-lookup said: $answer"
    echo "interrupted $what: $(grep -c ' Start ' "$log") test(s) started, $(grep -c 'Test *#' "$log") ended"
}

# Points inside the tests that start programs or servers or install, and two
# in the whole suite (its order and times: ctest's LastTest.log).
for point in "INT 4 test_install" "TERM 10 test_install" "INT 0.4 test_tools_user_db" \
    "TERM 0.7 test_tools_user_db" "INT 2 test_publish" "TERM 3 test_update" \
    "INT 0.7 test_mainwindow" "TERM 0.5 test_tools" "INT 12" "TERM 40"; do
    # shellcheck disable=SC2086 # the point's words are the arguments
    interrupt $point
done

[ $failures -eq 0 ] && echo "interrupted runs left nothing behind"
[ $failures -eq 0 ]
