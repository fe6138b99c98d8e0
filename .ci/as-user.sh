#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the README's test command as a normal user who may use sudo, as a new
# user would: on a copy of this working tree that the user owns, built afresh.
# Afterwards no process of that user may be left, nor anything in /tmp that the
# user cannot remove. Run as root; the user is made when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
user=${LUMIVO_CI_USER:-lumivo-ci}

if ! id "$user" >/dev/null 2>&1; then
    useradd --create-home --shell /bin/bash "$user"
fi
command -v sudo >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y sudo
# What a user "who may use sudo" has; without a password, as CI cannot type one.
printf '%s ALL=(ALL) NOPASSWD: ALL\n' "$user" >/etc/sudoers.d/lumivo-ci
chmod 440 /etc/sudoers.d/lumivo-ci

home=$(getent passwd "$user" | cut -d: -f6)
copy=$home/lumivo
rm -rf "$copy"
mkdir -p "$copy"
# The tracked and new files of this tree, without any build folder.
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$copy"
chown -R "$user:" "$copy"

marker=$(mktemp)
trap 'rm -f "$marker"' EXIT
status=0
# The README's second command, word for word.
runuser -l "$user" -c "cd '$copy' && sh tools/install-deps.sh && cmake -S . -B build && cmake --build build -j2 && ctest --test-dir build --output-on-failure" ||
    status=$?

left=$(pgrep -a -u "$user" || true)
if [ -n "$left" ]; then
    echo "$left"
    echo "FAIL: processes of $user left after the suite"
    pkill -KILL -u "$user" || true
    status=1
fi
stuck=$( (runuser -u "$user" -- find /tmp -mindepth 1 -newer "$marker" -user "$user" -type d \
    ! -perm -u+wx -print 2>/dev/null || true) | head -n 5)
if [ -n "$stuck" ]; then
    echo "$stuck"
    echo "FAIL: the suite left folders in /tmp that $user cannot remove"
    status=1
fi
# A run that was not cut off removes all it made (Qt's own runtime folder of
# the user, made when XDG_RUNTIME_DIR is unset, is not the tests').
made=$(find /tmp -mindepth 1 -maxdepth 1 -newer "$marker" -user "$user" ! -name "runtime-$user" \
    -print 2>/dev/null | head -n 10)
if [ -n "$made" ]; then
    echo "$made"
    echo "FAIL: the suite left files or folders of $user in /tmp"
    status=1
fi
exit $status
