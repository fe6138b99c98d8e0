#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Writes a command-line tool's manual page from its own --help and --version, so
# that the page says what the built tool does. Commands that have a help of their
# own (lumivo-mkdb's) get a section each; packaging/TOOL.h2m, where there is one,
# adds sections no help holds (FILES).
# Usage: make-manpage.sh TOOL "ONE-LINE DESCRIPTION" DATE OUT.1.gz [COMMAND...]
set -eu
tool=$1
what=$2
date=$3
out=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
name=$(basename "$tool")

# Run through a link of the installed name, so that the usage line shows that
# name rather than the build folder's path (help2man keeps only its last part).
# The wrapper drops the line naming this machine's default database, and makes
# the exit status paragraph a section of its own (help2man's "*Section*").
mkdir "$tmp/bin" "$tmp/real"
ln -s "$(cd "$(dirname "$tool")" && pwd)/$name" "$tmp/real/$name"
cat >"$tmp/bin/$name" <<WRAPPER
#!/bin/sh
set -e
"$tmp/real/$name" "\$@" | sed -e '/^Default here: /d' -e 's/^Exit status: /*Exit status*\\n/'
WRAPPER
chmod +x "$tmp/bin/$name"

h2m() {
    LC_ALL=C.UTF-8 PATH=$tmp/bin:$PATH SOURCE_DATE_EPOCH=$(date -u -d "$date" +%s) \
        help2man --locale=C.UTF-8 --no-info --no-discard-stderr --name="$what" "$@" "$name"
}

include=
if [ -f "$(dirname "$0")/$name.h2m" ]; then
    cp "$(dirname "$0")/$name.h2m" "$tmp/include"
    include=--include=$tmp/include
fi
# Each command's help as help2man reads it (not verbatim, whose lines are as
# long as the help's and whose usage line holds the build's path), its
# sections turned into subsections of one: the usage, the description, options.
for command in "$@"; do
    {
        printf '[COMMAND %s]\n' "$(echo "$command" | tr '[:lower:]' '[:upper:]')"
        h2m --help-option="$command --help" |
            sed -e '1,/^\.SH SYNOPSIS$/d' -e 's/^\.SH DESCRIPTION$/.PP/' \
                -e 's/^\.SH OPTIONS$/.SS Options:/' -e 's/^\.SH /.SS /'
    } >>"$tmp/include"
    include=--include=$tmp/include
done

h2m $include --output="$tmp/$name.1"
gzip -9n <"$tmp/$name.1" >"$out.tmp"
mv "$out.tmp" "$out"
