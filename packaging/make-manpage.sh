#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Writes a command-line tool's manual page from its own --help and --version, so
# that the page says what the built tool does. Commands that have a help of their
# own (lumivo-mkdb's) get a section each.
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
# name rather than the build folder's path.
# The wrapper drops the line naming this machine's default database.
mkdir "$tmp/bin" "$tmp/real"
ln -s "$(cd "$(dirname "$tool")" && pwd)/$name" "$tmp/real/$name"
printf '#!/bin/sh\nset -e\n"%s" "$@" | sed "/^Default here: /d"\n' "$tmp/real/$name" >"$tmp/bin/$name"
chmod +x "$tmp/bin/$name"

# Help text as roff: taken verbatim, with roff's escape and control characters
# made harmless.
include=
for command in "$@"; do
    {
        printf '[COMMAND %s]\n.nf\n' "$(echo "$command" | tr '[:lower:]' '[:upper:]')"
        PATH=$tmp/bin:$PATH "$name" "$command" --help |
            sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        printf '.fi\n'
    } >>"$tmp/include"
    include=--include=$tmp/include
done

LC_ALL=C.UTF-8 PATH=$tmp/bin:$PATH SOURCE_DATE_EPOCH=$(date -u -d "$date" +%s) \
    help2man --locale=C.UTF-8 --no-info --no-discard-stderr --name="$what" $include \
    --output="$tmp/$name.1" "$name"
gzip -9n <"$tmp/$name.1" >"$out.tmp"
mv "$out.tmp" "$out"
