#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Installs the built tree into a temporary root, validates the desktop entry and
# the AppStream file, starts the installed program as an unprivileged user and
# as root, and builds and inspects the Debian package.
# Usage: test-install.sh BUILD_DIR
set -u
umask 022
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/private-tree.sh"
tmp=$(mktemp -d)
chmod 755 "$tmp"
root=$tmp/root
pid=
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() { [ -e "$root$1" ] || [ -L "$root$1" ] || fail "not installed: $1"; }
# Whatever happens, the program this test started ends with it.
trap '[ -z "$pid" ] || kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
trap 'exit 2' HUP INT TERM

# Nothing here may change the build folder; it is compared at the end.
build_state() {
    for f in "$build/db.dat" "$build/install_manifest.txt"; do
        [ -e "$f" ] && sha256sum "$f" || echo "absent $f"
    done
}
build_before=$(build_state)
private_tree "$build" "$tmp/private" || exit 1
tree=$tmp/private/tree

# The build folder's db.dat is the live database of a program run from there: an
# update replaces it. Installing must still take the bundled one. Another
# database stands in for an updated one inside a private mount namespace, so the
# build folder itself never changes, even when the test is cut off.
printf '090123,C150\n' | "$build/lumivo-mkdb" build --table - --date 20270401 --version 1001 \
    --out "$tmp/updated.dat" >/dev/null || fail "cannot make a stand-in updated database"
ns=
if [ "$(id -u)" -eq 0 ]; then ns="unshare -m"; else ns="unshare -Urm"; fi
# shellcheck disable=SC2016 # expanded by the inner shell
if $ns sh -c 'mount --bind "$1" "$2" && cmp -s "$1" "$2"' sh "$tmp/updated.dat" \
    "$build/db.dat" 2>/dev/null; then
    $ns sh -c 'mount --bind "$1" "$2" && DESTDIR=$3 exec cmake --install "$4" --prefix /usr' sh \
        "$tmp/updated.dat" "$build/db.dat" "$root" "$tree" >/dev/null || fail "cmake --install"
else
    echo "SKIP: no private mount namespace here; installed without an updated db.dat beside"
    DESTDIR=$root cmake --install "$tree" --prefix /usr >/dev/null || fail "cmake --install"
fi

private=/usr/libexec/lumivo
for f in /usr/bin/lumivo /usr/bin/lumivo-lookup /usr/bin/lumivo-mkdb \
    $private/lumivo $private/lumivo-lookup $private/lumivo-mkdb $private/db.dat \
    $private/lumivo.installed \
    /usr/share/applications/example.lumivo.Lumivo.desktop \
    /usr/share/metainfo/example.lumivo.Lumivo.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/lumivo.svg \
    /usr/share/icons/hicolor/16x16/apps/lumivo.png \
    /usr/share/icons/hicolor/256x256/apps/lumivo.png \
    /usr/share/man/man1/lumivo.1.gz /usr/share/man/man1/lumivo-lookup.1.gz \
    /usr/share/man/man1/lumivo-mkdb.1.gz \
    /usr/share/bash-completion/completions/lumivo-lookup \
    /usr/share/bash-completion/completions/lumivo-mkdb \
    /usr/share/doc/lumivo/copyright /usr/share/doc/lumivo/changelog.Debian.gz \
    /usr/share/doc/lumivo/LICENSE-libphonenumber.txt; do
    need "$f"
done
[ "$(tail -c 16 "$root$private/db.dat")" = "$(printf '20261206  1000\r\n')" ] ||
    fail "installed db.dat is not the bundled one of 20261206, version 1000"

desktop-file-validate "$root/usr/share/applications/example.lumivo.Lumivo.desktop" ||
    fail "desktop-file-validate"
# The licence in every place a user or a software centre looks for it.
metainfo=$root/usr/share/metainfo/example.lumivo.Lumivo.metainfo.xml
for pattern in '<project_license>Apache-2.0</project_license>' '<p xml:lang="ja">'; do
    grep -qF "$pattern" "$metainfo" || fail "the AppStream file lacks $pattern"
done
grep -q '^License: Apache-2.0$' "$root/usr/share/doc/lumivo/copyright" ||
    fail "the copyright file does not give the project's licence"
appstreamcli validate --no-net --pedantic \
    "$root/usr/share/metainfo/example.lumivo.Lumivo.metainfo.xml" >"$tmp/as.txt" 2>&1 ||
    { cat "$tmp/as.txt"; fail "appstreamcli validate"; }

# The commands in bin reach the installed database through their links (the
# tool makes its user's copy, here in a home of its own).
out=$(HOME="$tmp/toolhome" XDG_DATA_HOME="$tmp/toolhome/data" "$root/usr/bin/lumivo-lookup" 08061234567)
[ "$out" = "$(printf '08061234567\tC109\t沖縄セルラー')" ] || fail "installed lumivo-lookup said: $out"

# The installed program reads a copy of the installed database from the data
# folder of whoever runs it: a user who cannot write its folder (nobody, when
# root runs this), and one who can (root, or the user running this, who owns
# the copy). The folder is never made read-only here: a test cut off before
# it could undo that would leave a folder its user cannot remove.
# Usage: run_installed HOME [COMMAND PREFIX...]
run_installed() {
    home=$1
    shift
    mkdir -p "$home/run" && chmod 700 "$home/run"
    [ $# -eq 0 ] || chown -R 65534:65534 "$home"
    "$@" env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
        "$root/usr/bin/lumivo" >"$tmp/out.txt" 2>"$tmp/err.txt" &
    pid=$!
    sleep 3
    if kill -0 $pid 2>/dev/null; then
        kill $pid
        wait $pid 2>/dev/null
        pid=
    else
        fail "the installed program ended early ($*)"
    fi
    [ -s "$tmp/err.txt" ] && { cat "$tmp/err.txt"; fail "the installed program wrote errors ($*)"; }
    cmp -s "$root$private/db.dat" "$home/data/Lumivo/db.dat" ||
        fail "no copy of the installed database in the user's data folder ($*)"
}
before=$(cd "$root" && find . -type f -exec sha256sum {} + | sort)
if [ "$(id -u)" -ne 0 ]; then
    run_installed "$tmp/home"
else
    as_nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
    if $as_nobody true 2>/dev/null; then
        run_installed "$tmp/home" $as_nobody
    else
        echo "SKIP: cannot run as an unprivileged user here"
    fi
    run_installed "$tmp/roothome"
fi
# Who may write the installed folder still leaves it to the package manager.
ls "$root$private" >"$tmp/private.txt"
[ "$(cat "$tmp/private.txt")" = "$(printf 'db.dat\nlumivo\nlumivo-lookup\nlumivo-mkdb\nlumivo.installed')" ] ||
    { cat "$tmp/private.txt"; fail "running the installed program added files to its folder"; }
after=$(cd "$root" && find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || fail "running the installed program changed installed files"

# The Debian package.
(cd "$tmp" && cpack -G DEB --config "$tree/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.txt" 2>&1) ||
    { cat "$tmp/cpack.txt"; fail "cpack"; }
deb=$(ls "$tmp"/pkg/lumivo_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    fail "no package built"
else
    dpkg-deb -c "$deb" >"$tmp/contents.txt"
    for f in "./usr/bin/lumivo -> ../libexec/lumivo/lumivo" ./usr/libexec/lumivo/lumivo \
        ./usr/libexec/lumivo/db.dat ./usr/libexec/lumivo/lumivo.installed ./usr/share/applications/example.lumivo.Lumivo.desktop \
        ./usr/share/metainfo/example.lumivo.Lumivo.metainfo.xml \
        ./usr/share/icons/hicolor/128x128/apps/lumivo.png; do
        grep -qF -- "$f" "$tmp/contents.txt" || fail "not in the package: $f"
    done
    dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/libexec/lumivo/db.dat | tail -c 16 >"$tmp/tail"
    [ "$(cat "$tmp/tail")" = "$(printf '20261206  1000\r\n')" ] ||
        fail "the package's db.dat is not the bundled one of 20261206, version 1000"
    # Fonts and Qt's Japanese texts make it look right but are not needed to run.
    depends=$(dpkg-deb -f "$deb" Depends)
    recommends=$(dpkg-deb -f "$deb" Recommends)
    for p in libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
        echo "$depends" | grep -qw -- "$p" || fail "package does not depend on $p: $depends"
    done
    for p in qt6-translations-l10n fonts-noto-cjk fonts-liberation2; do
        echo "$recommends" | grep -qw -- "$p" || fail "package does not recommend $p: $recommends"
        echo "$depends" | grep -qw -- "$p" && fail "package depends on $p: $depends"
    done
    dpkg-deb -c "$deb" | grep -q 'installed-files' && fail "the package carries an install list"
    # What Debian's archive would say of the package: neither errors nor warnings.
    if command -v lintian >/dev/null; then
        TMPDIR=$tmp lintian --pedantic --fail-on error,warning "$deb" 2>/dev/null >"$tmp/lintian.txt" ||
            { cat "$tmp/lintian.txt"; fail "lintian"; }
    else
        echo "SKIP: lintian is not installed"
    fi
fi

# The README's install under /usr/local and its removal, on a system that also
# has the package installed: the removal takes exactly what the install put
# there and leaves the package's files alone.
if [ -n "$deb" ]; then
    both=$tmp/both
    dpkg-deb -x "$deb" "$both"
    (cd "$both" && find . ! -type d | sort) >"$tmp/deb-files.txt"
    DESTDIR=$both cmake --install "$tree" --prefix /usr/local >/dev/null || fail "cmake --install under /usr/local"
    list=$both/usr/local/share/lumivo/installed-files.txt
    if [ ! -f "$list" ]; then
        fail "the install under /usr/local kept no list of its files"
    else
        grep -v '^/usr/local/' "$list" && fail "the install list names files outside /usr/local"
        sed "s|^|$both|" "$list" | xargs -d '\n' rm -f
        [ -z "$(find "$both/usr/local" ! -type d)" ] ||
            { find "$both/usr/local" ! -type d; fail "the README's removal left files of the install"; }
        (cd "$both" && find . ! -type d | sort) | cmp -s - "$tmp/deb-files.txt" ||
            fail "the README's removal touched the package's files"
    fi
fi

[ "$(build_state)" = "$build_before" ] || fail "the test changed the build folder"
[ $failures -eq 0 ] && echo "install test passed"
[ $failures -eq 0 ]
