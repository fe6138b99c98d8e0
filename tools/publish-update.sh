#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Publishes a database update into a folder that a web server serves as the
# update server:
#
#   ROOT/download/latestver.txt   the version file the About window reads
#   ROOT/download/NNNN.dat        the database of version NNNN
#   ROOT/download/*.minisig       with --sign-key, the signature beside each
#
# A program built with LUMIVO_UPDATE_PUBKEY takes an update only with both
# signatures, made by minisign with the secret key of that public key. Their
# trusted comments name what is signed: "file:latestver.txt", and
# "file:NNNN.dat version:NNNN date:YYYYMMDD" for the database. Once ROOT holds
# a signature, a publish without --sign-key is refused.
#
# The database is built with lumivo-mkdb from a prefix table. The version file
# names this program's version (from lumivo-mkdb --version), the database
# version and the database's location on HOST. A version that is not newer than
# the one already published in ROOT is refused. The database is in place before
# the version file names it, and each file is replaced only once complete, so a
# client never sees half an update.
#
# ROOT/download may belong to the web server's user; ROOT itself must not. So
# nothing is ever opened for writing by a name in download/ that already exists:
# lumivo-mkdb writes into a private folder, each file is copied from there into
# a new file that only this run can have created, and that file is renamed over
# the target. A link planted at a target is replaced itself, never written through.
set -eu

me=publish-update
here=$(cd "$(dirname "$0")" && pwd)
# Every client refuses a larger version file unread (modUpdate::MaxVersionFileBytes).
max_version_bytes=4096

usage() {
    cat <<EOF
Usage: $me --table FILE --date YYYYMMDD --version NNNN --host HOST[:PORT] --root DIR
                      [--note TEXT] [--mkdb PATH] [--sign-key KEY]
Builds the database of version NNNN from the prefix table FILE into
DIR/download/NNNN.dat and announces it in DIR/download/latestver.txt as
http://HOST[:PORT]/download/NNNN.dat. NNNN must be newer than the version
published in DIR. HOST is a DNS name, an IPv4 address or [IPv6]. TEXT is a note
for the version file (ASCII; default "database NNNN"). PATH is lumivo-mkdb
(default: on PATH, else build/lumivo-mkdb of this source tree). One publish
into DIR runs at a time; another one waits for it. KEY is a minisign secret
key: both files are signed with it (minisign asks for its password, if it has
one), and the signatures are published beside them. A DIR that holds
signatures is published only with --sign-key.
Exit status: 0 when published, 2 when nothing was announced.
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

table='' date='' version='' host='' root='' note='' mkdb='' sign_key=''
while [ $# -gt 0 ]; do
    case $1 in
    -h | --help)
        usage
        exit 0
        ;;
    --table | --date | --version | --host | --root | --note | --mkdb | --sign-key)
        [ $# -ge 2 ] || usage_error "$1 needs a value"
        case $1 in
        --table) table=$2 ;;
        --date) date=$2 ;;
        --version) version=$2 ;;
        --host) host=$2 ;;
        --root) root=$2 ;;
        --note) note=$2 ;;
        --mkdb) mkdb=$2 ;;
        --sign-key) sign_key=$2 ;;
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
# last character; the same rule as a build's LUMIVO_UPDATE_HOST keeps a scheme,
# a path or blanks out of it.
reason=$(sh "$here/check-update-host.sh" "$host" 2>&1) || die "$reason"
[ -n "$note" ] || note="database $version"

if [ -n "$sign_key" ]; then
    if [ ! -f "$sign_key" ] || [ ! -r "$sign_key" ]; then
        die "cannot read the secret key $sign_key"
    fi
    command -v minisign >/dev/null || die "--sign-key needs minisign (apt-get install minisign)"
fi
if [ -z "$mkdb" ]; then
    mkdb=$(command -v lumivo-mkdb || echo "$here/../build/lumivo-mkdb")
fi
# "lumivo-mkdb 1.30" is version 1.3.0, which the program compares as 130.
software=$("$mkdb" --version | sed -n 's/^lumivo-mkdb \([0-9]\)\.\([0-9][0-9]\)$/\1\2/p')
[ -n "$software" ] || die "cannot read the program's version from $mkdb --version"

download=$root/download
latest=$download/latestver.txt
database=$download/$version.dat
mkdir -p "$download" ||
    die "cannot make the folder $download (ROOT must be a folder this user may write: see README.md)"

# One publish at a time: without it, two publishes that both passed the version
# check could announce the older one last. The lock is taken on the folder ROOT
# itself, so no lock file lies in what the web server serves.
[ -d "$root" ] || die "$root is not a folder"
exec 9<"$root" || die "cannot open $root to lock it"
if ! flock -n 9; then
    echo "$me: waiting for another publish into $root to finish" >&2
    flock 9 || die "cannot lock $root"
fi

# The database version announced in latestver.txt; nothing when none is (no file,
# or a link to nothing). Read through a link, as the web server serves it.
published_version() {
    [ -e "$latest" ] || return 0
    [ -f "$latest" ] || die "$latest is not a regular file; nothing was published"
    # Without blocking, should a pipe take the file's place; no more than a client reads.
    published=$(dd if="$latest" iflag=nonblock bs=$((max_version_bytes + 1)) count=1 status=none |
        "$mkdb" decode) ||
        die "$latest cannot be read; nothing was published (remove it to start afresh)"
    found=$(printf '%s\n' "$published" | head -n 1 | cut -c5-8)
    case $found in
    [0-9][0-9][0-9][0-9]) echo "$found" ;;
    *) die "$latest names no database version; nothing was published" ;;
    esac
}

# Dies unless the version on offer is newer than the published one.
check_newer() {
    current=$(published_version) || exit 2
    if [ -n "$current" ] && [ "$version" -le "$current" ]; then
        die "version $version is not newer than the published $current$1"
    fi
}

# Clients built with a key would refuse every unsigned update from here on.
if [ -z "$sign_key" ]; then
    for signature in "$download"/*.minisig; do
        if [ -e "$signature" ] || [ -L "$signature" ]; then
            die "$download holds signatures ($signature): publish with --sign-key; nothing was published"
        fi
    done
fi

# A folder, a pipe or a device at a target is refused; a link there is replaced.
for target in "$database" "$latest" "$database.minisig" "$latest.minisig"; do
    if [ ! -L "$target" ] && [ -e "$target" ] && [ ! -f "$target" ]; then
        die "$target is not a regular file; nothing was published"
    fi
done
check_newer ''

stage=$(mktemp -d) || die "cannot make a temporary folder"
placing=''
# shellcheck disable=SC2317 # run by the trap
clean_up() {
    [ -z "$placing" ] || rm -f -- "$placing"
    rm -rf -- "$stage"
}
trap clean_up EXIT
trap 'exit 2' HUP INT TERM

# Software version, blank, database version, the note, and after the last "!"
# the location, followed by one character that is not part of it.
text="$software $version $note!$host/download/$version.dat "
"$mkdb" encode --out "$stage/latestver.txt" "$text" ||
    die "the note cannot be written in the version file"
size=$(wc -c <"$stage/latestver.txt")
if [ "$size" -gt "$max_version_bytes" ]; then
    die "the version file would be $size bytes, but clients read at most $max_version_bytes;" \
        "shorten the note"
fi
built=$("$mkdb" build --table "$table" --date "$date" --version "$version" \
    --out "$stage/$version.dat") || die "the database was not built; nothing was published"
echo "$database:${built#"$stage/$version.dat:"}"

# Signs the staged file $1 (a name in the stage) with the trusted comment $2.
sign() {
    minisign -S -s "$sign_key" -m "$stage/$1" -x "$stage/$1.minisig" -t "$2" \
        -c "signature of $1 from tools/publish-update.sh" ||
        die "$1 could not be signed; nothing was published"
}
if [ -n "$sign_key" ]; then
    sign "$version.dat" "file:$version.dat version:$version date:$date"
    sign latestver.txt "file:latestver.txt"
fi

# Puts the staged file $1 in place of $2: copied into a file that did not exist
# before (O_EXCL: a planted name makes it fail, never write elsewhere), flushed
# to disk, then renamed over the target.
place() {
    placing=$(mktemp -u "$(dirname "$2")/.$(basename "$2").XXXXXXXX")
    dd if="$1" of="$placing" conv=excl,fsync status=none ||
        die "cannot write $placing; $2 is unchanged"
    mv -f -T -- "$placing" "$2" || die "cannot rename $placing to $2; $2 is unchanged"
    placing=''
}

place "$stage/$version.dat" "$database"
[ -z "$sign_key" ] || place "$stage/$version.dat.minisig" "$database.minisig"
# Another program may have announced a version meanwhile, without this lock.
check_newer "; $database is in place but not announced"
# A client that reads the version file between these two renames finds the
# signature of the other text and tries again later; the database and its
# signature are in place before either names them.
[ -z "$sign_key" ] || place "$stage/latestver.txt.minisig" "$latest.minisig"
place "$stage/latestver.txt" "$latest"
echo "published: http://$host/download/$version.dat, announced in $latest"
