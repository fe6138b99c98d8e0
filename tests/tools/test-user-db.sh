#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The window and lumivo-lookup answer from the same database. An installed copy
# is run for real, by an unprivileged user (and by root): run first, the tool
# makes the user's copy as the window would and reads it; the window makes it
# too; once an update has replaced that copy, the tool answers from it.
# Usage: test-user-db.sh BUILD_DIR PREFIX_TABLE
set -u
umask 022
build=$(cd "$1" && pwd)
table=$2
. "$(cd "$(dirname "$0")/../install" && pwd)/private-tree.sh"
tmp=$(mktemp -d)
pid=
# The window this test starts ends with it, however the test ends.
trap '[ -z "$pid" ] || kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
trap 'exit 2' HUP INT TERM
chmod 755 "$tmp"
root=$tmp/root
private=$root/usr/libexec/lumivo
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Installed from a tree of the test's own: the build folder is only read.
private_tree "$build" "$tmp/private" || exit 1
DESTDIR=$root cmake --install "$tmp/private/tree" --prefix /usr >/dev/null ||
    { echo "FAIL: cmake --install"; exit 1; }

# The update moves 090123 from au<不明> to au関西.
sed 's/^090123,C150$/090123,C100/' "$table" >"$tmp/updated.csv"
grep -q '^090123,C100$' "$tmp/updated.csv" || fail "the prefix table has no line 090123,C150"
"$private/lumivo-mkdb" build --table "$tmp/updated.csv" --date 20270101 --version 9999 \
    --out "$tmp/updated.dat" >/dev/null || fail "lumivo-mkdb build"
chmod 644 "$tmp/updated.dat"

# Runs a command as $who (through $as, empty for whoever runs this) with only
# a home folder set up: as_user HOME COMMAND...
as_user() {
    home=$1
    shift
    $as env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" \
        QT_QPA_PLATFORM=offscreen "$@"
}

# lookup HOME EXPECTED_ANSWER EXPECTED_FILE: the tool's answer for 09012345678
# and the file it says it read.
lookup() {
    out=$(as_user "$1" "$private/../../bin/lumivo-lookup" --verbose 09012345678 2>"$tmp/err.txt")
    [ "$out" = "$(printf '09012345678\t%b' "$2")" ] || fail "lumivo-lookup said \"$out\" ($who)"
    grep -qxF "lumivo-lookup: reading $3" "$tmp/err.txt" ||
        { cat "$tmp/err.txt"; fail "lumivo-lookup read another file than $3 ($who)"; }
}

check() {
    home=$1
    copy=$home/.local/share/Lumivo/db.dat
    mkdir -p "$home/run" && chmod 700 "$home/run"
    [ -z "$as" ] || chown -R 65534:65534 "$home"

    lookup "$home" 'C150\tau<不明>' "$copy"
    cmp -s "$copy" "$private/db.dat" || fail "lumivo-lookup made no copy of the installed database ($who)"
    rm -f "$copy"

    # The window's start makes the user's copy; it is ended once the copy is there.
    # Started as one command, not through a function: $! is then the program
    # itself (setpriv and env exec it), which the kill below reaches.
    $as env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" \
        QT_QPA_PLATFORM=offscreen "$root/usr/bin/lumivo" >/dev/null 2>&1 &
    pid=$!
    tries=0
    while ! cmp -s "$copy" "$private/db.dat" && kill -0 $pid 2>/dev/null && [ $tries -lt 600 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    pid=
    cmp -s "$copy" "$private/db.dat" || fail "the window made no copy of the installed database ($who)"

    # An update replaces the user's copy, as that user.
    as_user "$home" cp "$tmp/updated.dat" "$copy.new" && as_user "$home" mv -f "$copy.new" "$copy" ||
        fail "cannot place the update ($who)"
    lookup "$home" 'C100\tau関西' "$copy"
}

if [ "$(id -u)" -ne 0 ]; then
    who="user $(id -un)" as=""
    check "$tmp/home"
else
    who="nobody" as="setpriv --reuid=65534 --regid=65534 --clear-groups"
    if $as true 2>/dev/null; then
        check "$tmp/home"
    else
        echo "SKIP (unprivileged user): setpriv cannot switch to nobody here"
    fi
    who="root" as=""
    check "$tmp/roothome"
fi

[ $failures -eq 0 ] && echo "window and tool read the same database"
[ $failures -eq 0 ]
