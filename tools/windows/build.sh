#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Builds Lumivo for 64-bit Windows on Debian 12, as root, from nothing:
#   sh tools/windows/build.sh            everything below, in order
#   sh tools/windows/build.sh qt         only Qt for Windows (into the cache)
#   sh tools/windows/build.sh sodium     only libsodium for Windows (into the cache)
#   sh tools/windows/build.sh lumivo     only Lumivo (needs the cached Qt)
#   sh tools/windows/build.sh package    only the installer and the zip
#   sh tools/windows/build.sh has-qt     succeeds when the cached Qt is there
# 1. installs mingw-w64 (posix threads), Wine, NSIS and the build tools;
# 2. builds Qt (Core, Gui, Widgets, Network, Test, the windows and offscreen
#    platforms) from Debian's qt6-base source with qt6-base-mingw.patch, into
#    a cache outside the repository keyed by Qt's version, the patch and the
#    options (about an hour on two cores the first time, nothing afterwards),
#    and libsodium, which checks the update's signatures, from Debian's
#    libsodium source the same way (a static library; a few minutes);
# 3. cross-builds Lumivo into build-windows/ (tests run under Wine);
# 4. stages the program with the DLLs and plugins it loads and makes
#    build-windows/Lumivo-<version>-setup.exe and a portable zip.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${LUMIVO_WINDOWS_CACHE:-/var/cache/lumivo-windows}
jobs=${LUMIVO_JOBS:-2}
qt_version=6.4.2
qt_source=qt6-base_6.4.2+dfsg-10

# Qt's configuration: only what Lumivo uses, bundled third-party code (freetype
# for the offscreen platform), no ICU (code page 932 is Lumivo's own table).
qt_options="-DBUILD_SHARED_LIBS=ON -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF
 -DQT_BUILD_TESTS=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF
 -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
 -DFEATURE_icu=OFF -DFEATURE_openssl=OFF -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF
 -DFEATURE_gssapi=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF
 -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
 -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
 -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF"
key=$( (echo "$qt_source"; cat "$here/qt6-base-mingw.patch" "$here/mingw-w64.cmake"; echo $qt_options) |
    sha256sum | cut -c1-12)
qt_prefix=$cache/qt-$qt_version-$key
sodium_source=libsodium_1.0.18-1+deb12u1
sodium_options="--host=x86_64-w64-mingw32 --disable-shared --enable-static --disable-ssp"
sodium_key=$( (echo "$sodium_source"; echo $sodium_options) | sha256sum | cut -c1-12)
sodium_prefix=$cache/libsodium-1.0.18-$sodium_key

install_tools() {
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends g++-mingw-w64-x86-64-posix wine wine64 nsis zip \
        cmake ninja-build dpkg-dev perl python3 qt6-base-dev qt6-base-dev-tools xz-utils \
        qt6-translations-l10n autoconf automake libtool
}

# Debian's source packages, for apt-get source.
enable_deb_src() {
    if ! grep -rqs "^Types:.*deb-src" /etc/apt/sources.list.d/ &&
        ! grep -qs "^deb-src" /etc/apt/sources.list; then
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            >/etc/apt/sources.list.d/lumivo-deb-src.sources
        apt-get update
    fi
}

# Unpacks Debian's source package $1 (its .dsc named $2, as package_version)
# into $work/$3, $work being a fresh folder of the cache for the key $4.
unpack_source() {
    enable_deb_src
    work=$cache/work-$4
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source --download-only "$1=${2#"$1"_}" && dpkg-source -x "$2.dsc" "$3")
}

build_qt() {
    [ -f "$qt_prefix/.complete" ] && { echo "Qt for Windows: $qt_prefix (cached)"; return; }
    # Debian's source of the very Qt the build machine runs, whose tools
    # (moc, rcc) the cross-build uses.
    unpack_source qt6-base "$qt_source" qtbase "$key"
    patch -d "$work/qtbase" -p1 <"$here/qt6-base-mingw.patch"
    # shellcheck disable=SC2086
    cmake -S "$work/qtbase" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -dumpmachine)/cmake" \
        -DCMAKE_INSTALL_PREFIX="$qt_prefix" $qt_options
    cmake --build "$work/build" -j"$jobs"
    cmake --install "$work/build"
    # Qt's Japanese texts (the same for every platform) where the tests' Qt looks.
    mkdir -p "$qt_prefix/translations"
    cp /usr/share/qt6/translations/qtbase_ja.qm "$qt_prefix/translations/"
    touch "$qt_prefix/.complete"
    rm -rf "$work"
}

# The libsodium version the Linux build links (Debian's libsodium-dev), from the
# same source package; its licence goes into the installer beside the program.
build_sodium() {
    [ -f "$sodium_prefix/.complete" ] && { echo "libsodium for Windows: $sodium_prefix (cached)"; return; }
    unpack_source libsodium "$sodium_source" libsodium "$sodium_key"
    # shellcheck disable=SC2086
    # Debian's source comes without configure, as Debian's build makes it afresh.
    (cd "$work/libsodium" && autoreconf -fi && CC=x86_64-w64-mingw32-gcc-posix ./configure \
        --prefix="$sodium_prefix" $sodium_options && make -j"$jobs" && make install)
    cp "$work/libsodium/LICENSE" "$sodium_prefix/LICENSE-libsodium.txt"
    touch "$sodium_prefix/.complete"
    rm -rf "$work"
}

build_lumivo() {
    [ -f "$qt_prefix/.complete" ] || { echo "no Qt for Windows in $qt_prefix: run $0 qt" >&2; exit 1; }
    build_sodium
    cmake -S "$repo" -B "$repo/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$qt_prefix;$sodium_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -dumpmachine)/cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/env;LUMIVO_QT_PREFIX=$qt_prefix;$here/wine-run.sh"
    cmake --build "$repo/build-windows" -j"$jobs"
}

# The folder the installer and the zip are made from: the program with every
# DLL and plugin it loads, qt.conf pointing Qt at them, Qt's Japanese texts.
stage() {
    out=$repo/build-windows
    stage=$out/stage
    rm -rf "$stage"
    # The build folder's db.dat is also a live database that a test run may
    # update: the package takes one made afresh from data/.
    rm -f "$out/db.dat"
    cmake --build "$out" --target bundled_db
    cmake --install "$out" --prefix "$stage"
    for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network; do
        cp "$qt_prefix/bin/$dll.dll" "$stage/"
    done
    gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    cp "$gcc_dlls/libstdc++-6.dll" "$gcc_dlls/libgcc_s_seh-1.dll" \
        /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
    mkdir -p "$stage/plugins/platforms" "$stage/plugins/styles" "$stage/plugins/imageformats" \
        "$stage/translations"
    cp "$qt_prefix/plugins/platforms/qwindows.dll" "$stage/plugins/platforms/"
    cp "$qt_prefix"/plugins/styles/*.dll "$stage/plugins/styles/" 2>/dev/null || true
    cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
    # libsodium is linked in statically; its ISC licence asks for its notice.
    cp "$sodium_prefix/LICENSE-libsodium.txt" "$stage/doc/"
    printf '[Paths]\nPrefix=.\nPlugins=plugins\nTranslations=translations\n' >"$stage/qt.conf"
}

package() {
    out=$repo/build-windows
    version=$(sed -n 's/^project(Lumivo VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
    makensis -V2 -DVERSION="$version" -DSTAGE="$out/stage" \
        -DOUTFILE="$out/Lumivo-$version-setup.exe" "$repo/packaging/windows/lumivo.nsi"
    rm -rf "$out/Lumivo-$version" "$out/Lumivo-$version-portable.zip"
    cp -r "$out/stage" "$out/Lumivo-$version"
    (cd "$out" && zip -qr "Lumivo-$version-portable.zip" "Lumivo-$version")
    rm -rf "$out/Lumivo-$version"
    echo "$out/Lumivo-$version-setup.exe"
    echo "$out/Lumivo-$version-portable.zip"
}

case "${1:-all}" in
tools) install_tools ;;
qt) build_qt ;;
sodium) build_sodium ;;
has-qt) [ -f "$qt_prefix/.complete" ] ;;
lumivo) build_lumivo ;;
package)
    stage
    package
    ;;
all)
    install_tools
    build_qt
    build_sodium
    build_lumivo
    stage
    package
    ;;
*) echo "usage: $0 [all|tools|qt|sodium|has-qt|lumivo|package]" >&2; exit 2 ;;
esac
