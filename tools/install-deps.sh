#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Installs what building, running and testing Lumivo needs on Debian 12.
# Runs as root, or through sudo for a normal user.
set -e
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    build-essential cmake python3 qt6-base-dev qt6-base-dev-tools fonts-noto-cjk fonts-liberation2
# libsodium checks the signatures of database updates; minisign makes and checks
# them for publishing and for the tests.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    libsodium-dev minisign
# Qt's Japanese texts; checking, installing and packaging the desktop program
# (desktop entry, AppStream file, dpkg-shlibdeps and file for CPack's .deb, the
# tools' manual pages from their help, the package check).
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    qt6-translations-l10n qt6-qpa-plugins desktop-file-utils appstream dpkg-dev file \
    help2man lintian
# A local web server for the end-to-end test of publishing a database update;
# ps and pgrep, with which CI looks for programs a test left running.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends nginx procps
# python3-phonenumbers: the tests hold lumivo-lookup's table of number forms
# against it (the program does not use it).
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    python3-phonenumbers
# clang with libFuzzer and the sanitizers, for the test that builds and briefly runs
# the fuzz targets (fuzz/run-fuzz.sh).
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    clang libclang-rt-14-dev
