#!/bin/sh
# Publishes a database update into a folder that a web server serves as the
# update server:
#
#   ROOT/download/latestver.txt   the version file the About window reads
#   ROOT/download/NNNN.dat        the database of version NNNN
#
# The database is built with lumivo-mkdb from a prefix table. The version file
# names this program's version (from lumivo-mkdb --version), the database
# version and the database's location on HOST. A version that is not newer than
# the one already published in ROOT is refused. The database is in place before
# the version file names it, and each file is replaced only once complete, so a
# client never sees half an update.
set -eu

me=publish-update

usage() {
    cat <<EOF
Usage: $me --table FILE --date YYYYMMDD --version NNNN --host HOST[:PORT] --root DIR
                      [--note TEXT] [--mkdb PATH]
Builds the database of version NNNN from the prefix table FILE into
DIR/download/NNNN.dat and announces it in DIR/download/latestver.txt as
http://HOST[:PORT]/download/NNNN.dat. NNNN must be newer than the version
published in DIR. TEXT is a note for the version file (ASCII; default
"database NNNN"). PATH is lumivo-mkdb (default: on PATH, else build/lumivo-mkdb
of this source tree).
Exit status: 0 when published, 2 when nothing was published.
EOF
}

die() {
    echo "$me: $*" >&2
    exit 2
}

usage_error() {
    echo "$me: $*" >&2
    usage | head -n 2 >&2
    exit 2
}

table='' date='' version='' host='' root='' note='' mkdb=''
while [ $# -gt 0 ]; do
    case $1 in
    -h | --help)
        usage
        exit 0
        ;;
    --table | --date | --version | --host | --root | --note | --mkdb)
        [ $# -ge 2 ] || usage_error "$1 needs a value"
        case $1 in
        --table) table=$2 ;;
        --date) date=$2 ;;
        --version) version=$2 ;;
        --host) host=$2 ;;
        --root) root=$2 ;;
        --note) note=$2 ;;
        --mkdb) mkdb=$2 ;;
        esac
        shift 2
        ;;
    *) usage_error "unknown argument: $1" ;;
    esac
done
for required in table date version host root; do
    eval "value=\$$required"
    [ -n "$value" ] || usage_error "--$required is needed"
done

case $version in
[0-9][0-9][0-9][0-9]) ;;
*) die "\"$version\" is not a database version of 4 digits" ;;
esac
# The location ends at the version file's last "!" and is read up to the text's
# last character; a scheme, a path or blanks would make another address of it.
case $host in
"" | *[!]A-Za-z0-9.:[-]*) die "\"$host\" is not a host name with an optional :PORT" ;;
esac
[ -n "$note" ] || note="database $version"

if [ -z "$mkdb" ]; then
    mkdb=$(command -v lumivo-mkdb || echo "$(cd "$(dirname "$0")/.." && pwd)/build/lumivo-mkdb")
fi
# "lumivo-mkdb 1.30" is version 1.3.0, which the program compares as 130.
software=$("$mkdb" --version | sed -n 's/^lumivo-mkdb \([0-9]\)\.\([0-9][0-9]\)$/\1\2/p')
[ -n "$software" ] || die "cannot read the program's version from $mkdb --version"

download=$root/download
latest=$download/latestver.txt
if [ -e "$latest" ]; then
    published=$("$mkdb" decode "$latest") ||
        die "$latest cannot be read; nothing was published (remove it to start afresh)"
    publishedVersion=$(printf '%s\n' "$published" | head -n 1 | cut -c5-8)
    case $publishedVersion in
    [0-9][0-9][0-9][0-9]) ;;
    *) die "$latest names no database version; nothing was published" ;;
    esac
    expr "$version" \> "$publishedVersion" >/dev/null ||
        die "version $version is not newer than the published $publishedVersion"
fi

# Software version, blank, database version, the note, and after the last "!"
# the location, followed by one character that is not part of it.
text="$software $version $note!$host/download/$version.dat "
"$mkdb" encode "$text" >/dev/null || die "the note cannot be written in the version file"

mkdir -p "$download"
"$mkdb" build --table "$table" --date "$date" --version "$version" --out "$download/$version.dat"
"$mkdb" encode --out "$latest" "$text"
echo "published: http://$host/download/$version.dat, announced in $latest"
