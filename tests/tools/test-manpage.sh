#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# A tool's manual page as the build made it: the same bytes when made again
# elsewhere (no folder of the build in it), no line wider than 80 columns, the
# exit status in a section of its own, and lumivo-lookup's database files named.
# Usage: test-manpage.sh PAGE TOOL "ONE-LINE DESCRIPTION" DATE [COMMAND...]
set -u
page=$1
tool=$2
what=$3
date=$4
shift 4
name=$(basename "$tool")
command -v man >/dev/null || { echo "SKIP: man is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

sh "$(dirname "$0")/../../packaging/make-manpage.sh" "$tool" "$what" "$date" "$tmp/again.1.gz" "$@" ||
    fail "make-manpage.sh"
cmp -s "$page" "$tmp/again.1.gz" || fail "made again, the page differs"
zcat "$page" | grep -n -F -e "$(dirname "$tool")" -e /tmp/ && fail "the page names a folder of the build"

MANWIDTH=80 LC_ALL=C.UTF-8 man -P cat -l "$page" >"$tmp/page.txt" 2>"$tmp/man.err" || fail "man"
[ -s "$tmp/man.err" ] && { cat "$tmp/man.err"; fail "man complains"; }
# Columns as a terminal shows them (wc -L counts a wide character as two).
width=$(wc -L <"$tmp/page.txt")
[ "$width" -le 80 ] || fail "lines as wide as $width columns"

# section NAME: the text of a section as shown.
section() { awk -v want="$1" '/^[A-Z][A-Z ]*$/ { in_it = $0 == want; next } in_it' "$tmp/page.txt"; }
has() { section "$1" | tr -s ' \n' '  ' | grep -q -F -e "$2" || fail "$1 lacks \"$2\""; }
grep -n 'Exit status' "$tmp/page.txt" && fail "the exit status is not in its own section"
case $name in
lumivo-lookup)
    has "EXIT STATUS" "0 when every number got its answer from the database (found or not); 1 when the answers were written but at least one number was refused; 2 when the options are wrong"
    for file in /usr/libexec/lumivo/db.dat '$XDG_DATA_HOME/Lumivo/db.dat' \
        '~/.local/share/Lumivo/db.dat' 'db.dat beside the program'; do
        has FILES "$file"
    done
    ;;
lumivo-mkdb)
    has "EXIT STATUS" "0 when the output was written whole"
    has "COMMAND BUILD" "lumivo-mkdb build [options]"
    ;;
esac

[ $failures -eq 0 ] && echo "the manual page of $name is sound"
[ $failures -eq 0 ]
