#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs a program of the Windows build under Wine, as CMake's emulator: with the
# Qt and MinGW DLLs on its path and without Wine's debug noise. A QtTest
# program writes its results into a file that is shown afterwards, since its
# redirected standard output comes back empty under Wine.
set -u
qt_bin=${LUMIVO_QT_PREFIX:?}/bin
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
pthread_dlls=/usr/x86_64-w64-mingw32/lib
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPATH="Z:$qt_bin;Z:$gcc_dlls;Z:$pthread_dlls"
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
program=$1
shift
case $(basename "$program") in
test_*.exe)
    results=$(mktemp)
    wine "$program" -o "Z:$results,txt" "$@"
    status=$?
    cat "$results"
    rm -f "$results"
    exit $status
    ;;
esac
exec wine "$program" "$@"
