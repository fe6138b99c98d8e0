#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Builds the fuzz targets with clang (its own build directory) and runs each for
# a bounded time, in a temporary folder ($TMPDIR) that it must leave empty.
# Crashes are left as crash-* files in the build directory; turn each into a
# regression test in tests/lookup/.
#
#   fuzz/run-fuzz.sh [SECONDS_PER_TARGET]     (default 60)
#   BUILD=/path/to/dir fuzz/run-fuzz.sh 600   (longer run, other build directory)
#   JOBS=4 fuzz/run-fuzz.sh                   (parallel compile jobs, default 2)
#
# The test command runs it as the test test_fuzz for a few seconds per target, so
# that every target keeps building and running.
#
# Needs: clang and libclang-rt-14-dev from Debian (apt-get install clang libclang-rt-14-dev).
# Without them it exits with status 77 (a skipped test) and says so.
set -e
SECONDS_PER_TARGET=${1:-60}
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$SRC/build-fuzz}

skip() {
    echo "skipped: $* (tools/install-deps.sh installs clang and libclang-rt-14-dev)"
    exit 77
}
command -v clang++ >/dev/null 2>&1 || skip "clang++ is not installed"
# A target of one line shows whether clang can link libFuzzer and the sanitizers.
probe=$(mktemp -d)
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
    >"$probe/log" 2>&1; then
    cat "$probe/log"
    rm -rf "$probe"
    skip "clang++ cannot link -fsanitize=fuzzer,address,undefined"
fi
rm -rf "$probe"

cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DLUMIVO_FUZZ=ON >/dev/null
TARGETS="fuzz_decode_text fuzz_load_search fuzz_input_check fuzz_mkdb_table fuzz_log_export fuzz_version_text"
# shellcheck disable=SC2086 # the list is split on purpose
cmake --build "$BUILD" -j"${JOBS:-2}" --target $TARGETS
status=0
for target in $TARGETS; do
    corpus="$BUILD/corpus/$target"
    mkdir -p "$corpus"
    cp -n "$SRC"/fuzz/seeds/"$target"/* "$corpus"/ 2>/dev/null || true
    # Each target gets a temporary folder of its own, which it must leave empty.
    tmp="$BUILD/tmp/$target"
    rm -rf "$tmp" && mkdir -p "$tmp"
    echo "== $target, $SECONDS_PER_TARGET s"
    (cd "$BUILD" && TMPDIR="$tmp" ./"$target" -max_total_time="$SECONDS_PER_TARGET" \
         -max_len=4096 -print_final_stats=1 "$corpus") || status=1
    if [ -n "$(ls -A "$tmp")" ]; then
        echo "$target left temporary files behind in $tmp" >&2
        status=1
    fi
done
exit $status
