#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Puts the licence identifier into every C++ file and script of the project that
# lacks it: C++ on its first line, a script right after its #! line.
# Usage: tools/add-spdx.sh [--check]   (--check: list the files without it, exit 1 if any)
set -eu
cd "$(dirname "$0")/.."
tag='SPDX-License-Identifier: Apache-2.0'
missing=0
for f in $(git ls-files src tools tests bench fuzz .ci | grep -E '\.(cpp|h|h\.in|sh|py)$|^\.ci/run$'); do
    head -n 3 "$f" | grep -q 'SPDX-License-Identifier:' && continue
    missing=$((missing + 1))
    if [ "${1-}" = --check ]; then
        echo "$f"
        continue
    fi
    case $f in
    *.cpp | *.h | *.h.in) comment="// $tag" ;;
    *) comment="# $tag" ;;
    esac
    if head -n 1 "$f" | grep -q '^#!'; then
        { head -n 1 "$f" && echo "$comment" && tail -n +2 "$f"; } >"$f.spdx"
    else
        { echo "$comment" && cat "$f"; } >"$f.spdx"
    fi
    # Keep the file's mode (scripts stay executable).
    chmod --reference="$f" "$f.spdx"
    mv "$f.spdx" "$f"
done
[ "${1-}" != --check ] || [ $missing -eq 0 ]
