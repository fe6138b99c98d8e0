#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints the README's speed table: every row measured next to its baseline in
the same run, whole processes, medians of interleaved rounds.

  bench/run-bench.py [--build DIR] [--rounds N] [--numbers N]

Builds what it measures in DIR (default build-bench, -DLUMIVO_BENCH=ON, which
needs libbenchmark-dev; the synthetic 50 MB db.dat comes from
tools/gen-synthetic-db.py --seed 1). The start-up rows need Xvfb (apt-get
install xvfb); without it they are skipped. Peak memory is /usr/bin/time's.
"""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SRC = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, stdin=None, env=None):
    """Wall time of one whole process, and its output."""
    with open(stdin, "rb") if stdin else open(os.devnull, "rb") as inp:
        start = time.perf_counter()
        done = subprocess.run(cmd, stdin=inp, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              env=env, check=False)
        elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"run-bench: {cmd[0]} failed: {done.stderr.decode(errors='replace')}")
    return elapsed, done.stdout


def peak_kib(cmd, stdin=None, env=None):
    with tempfile.NamedTemporaryFile("r") as out:
        run(["/usr/bin/time", "-f", "%M", "-o", out.name] + cmd, stdin, env)
        return int(out.read().split()[-1])


def interleaved(rounds, commands):
    """Median wall time of each command, the commands taking turns."""
    times = [[] for _ in commands]
    for _ in range(rounds):
        for i, (cmd, stdin, env) in enumerate(commands):
            times[i].append(run(cmd, stdin, env)[0])
    return [statistics.median(t) for t in times]


def keys_asked(data, number):
    """The record keys the search command asks for, in its order (exact case)."""
    def key(n):
        fields = "".join(f"{int(d) + k:02d}" for k, d in enumerate(number[3:n], 1))
        return ("0" + "987".index(number[1]).__str__() + fields + "AFGH"[n - 6]).encode()

    def code(k):
        p = data.find(k)
        return None if p < 0 else data[p + len(k):p + len(k) + 4]

    asked = [key(6)]
    if code(asked[0]) is not None:
        return asked
    asked.append(key(7))
    if code(asked[-1]) == b"C160":
        asked.append(key(8))
        if code(asked[-1]) == b"C161":
            asked.append(key(9))
    return asked


def lead_of(key):
    head = ["090", "080", "070"][int(key[1:2])]
    fields = key[2:-1]
    return head + "".join(str(int(fields[i:i + 2]) - (i // 2 + 1)) for i in range(0, len(fields), 2))


def pick_numbers(path):
    """A found number (last kind A record), an absent one, one that needs kind H."""
    data = open(path, "rb").read()
    last_a = [m.group(0).decode() for m in re.finditer(rb"0[0-2](?:[0-9]{2}){3}A", data[-4000000:])][-1]
    last_h = [m.group(0).decode() for m in re.finditer(rb"0[0-2](?:[0-9]{2}){6}H", data[-200000:])][-1]
    absent = None
    for head in ("070", "080", "090"):
        for block in range(999, -1, -1):
            number = f"{head}{block:03d}00000"
            keys = keys_asked(data, number)
            if len(keys) == 2 and data.find(keys[1]) < 0:
                absent = number
                break
        if absent:
            break
    found = lead_of(last_a) + "00000"
    kind_h = lead_of(last_h) + "00"
    return data, {"found": found, "absent": absent, "kind H": kind_h}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(SRC, "build-bench"))
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--numbers", type=int, default=1000000)
    args = ap.parse_args()
    b = args.build
    subprocess.run(["cmake", "-S", SRC, "-B", b, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DLUMIVO_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", b, "-j2", "--target", "lumivo-lookup",
                    "lumivo-startup-probe", "lumivo-baseline-memmem", "lumivo-baseline-map",
                    "lumivo-minimal-window", "bundled_db", "synthetic_db"], check=True,
                   stdout=subprocess.DEVNULL)
    exe = lambda name: os.path.join(b, name)
    big, bundled = os.path.join(b, "synthetic-db.dat"), os.path.join(b, "db.dat")
    tables = {bundled: os.path.join(SRC, "data", "mobile-prefixes.csv"),
              big: os.path.join(b, "synthetic-db.csv")}
    size = os.path.getsize(big)
    work = tempfile.mkdtemp(prefix="lumivo-bench-")
    try:
        # A database with nothing but its tail: what a process needs besides the data.
        empty = os.path.join(work, "empty", "db.dat")
        os.makedirs(os.path.dirname(empty))
        open(empty, "w").write("20261206  1000  ")
        bigdir = os.path.join(work, "big")
        os.makedirs(bigdir)
        os.symlink(big, os.path.join(bigdir, "db.dat"))

        rows = []
        data, cases = pick_numbers(big)
        for name, number in cases.items():
            keys = [k.decode() for k in keys_asked(data, number)]
            ours, base = interleaved(args.rounds, [
                ([exe("lumivo-lookup"), "--db", big, number], None, None),
                ([exe("lumivo-baseline-memmem"), big] + keys, None, None)])
            rows.append((f"one `lumivo-lookup` process, 50 MB db.dat, {name} number "
                         f"({len(keys)} key{'s' if len(keys) > 1 else ''})",
                         f"{ours * 1000:.0f} ms", f"read + memmem: {base * 1000:.0f} ms", ours / base))

        # Peak memory above an empty database, against the file's size.
        mib = size / 1048576
        numbers = os.path.join(work, "numbers.txt")
        rng = random.Random(1)
        with open(numbers, "w") as f:
            for _ in range(args.numbers):
                f.write(rng.choice(("090", "080", "070")) + f"{rng.randrange(10 ** 8):08d}\n")
        one = lambda db: peak_kib([exe("lumivo-lookup"), "--db", db, cases["found"]])
        batch = lambda db: peak_kib([exe("lumivo-lookup"), "--db", db], numbers)
        rows.append(("peak memory of one lookup, above an empty database",
                     f"{(one(big) - one(empty)) / 1024:.1f} MiB", f"the file: {mib:.1f} MiB",
                     (one(big) - one(empty)) / 1024 / mib))
        rows.append((f"peak memory of a batch of {args.numbers:,} with its key index, above an empty database",
                     f"{(batch(big) - batch(empty)) / 1024:.1f} MiB", f"the file: {mib:.1f} MiB",
                     (batch(big) - batch(empty)) / 1024 / mib))

        # Per lookup in a batch: the whole run less the same run without numbers.
        for db, label in ((bundled, "bundled"), (big, "50 MB")):
            none = os.path.join(work, "none.txt")
            open(none, "w").close()
            ours_out = run([exe("lumivo-lookup"), "--db", db], numbers)[1]
            base_out = run([exe("lumivo-baseline-map"), tables[db]], numbers)[1]
            same = "same answers" if ours_out == base_out else "ANSWERS DIFFER"
            t = interleaved(args.rounds, [
                ([exe("lumivo-lookup"), "--db", db], numbers, None),
                ([exe("lumivo-lookup"), "--db", db], none, None),
                ([exe("lumivo-baseline-map"), tables[db]], numbers, None),
                ([exe("lumivo-baseline-map"), tables[db]], none, None)])
            ours, base = (t[0] - t[1]) / args.numbers * 1e6, (t[2] - t[3]) / args.numbers * 1e6
            rows.append((f"{args.numbers:,} numbers on the {label} database, per lookup",
                         f"{ours:.2f} µs", f"std::unordered_map ({same}): {base:.2f} µs", ours / base))

        # Start-up to the shown window on Xvfb, and the window's memory.
        if shutil.which("Xvfb"):
            xvfb = subprocess.Popen(["Xvfb", ":77", "-screen", "0", "1280x1024x24"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1)
            env = dict(os.environ, DISPLAY=":77", QT_QPA_PLATFORM="xcb")
            try:
                ours, base = interleaved(args.rounds, [
                    ([exe("lumivo-startup-probe"), bigdir], None, env),
                    ([exe("lumivo-minimal-window")], None, env)])
                rows.append(("start-up to the shown main window on Xvfb, 50 MB db.dat",
                             f"{ours * 1000:.0f} ms", f"a minimal Qt window: {base * 1000:.0f} ms",
                             ours / base))
                window = lambda d: peak_kib([exe("lumivo-startup-probe"), d], None, env)
                above = (window(bigdir) - window(os.path.dirname(empty))) / 1024
                rows.append(("peak memory of the window, above an empty database",
                             f"{above:.1f} MiB", f"the file: {mib:.1f} MiB", above / mib))
            finally:
                xvfb.terminate()
                xvfb.wait()

        print("| | Lumivo | baseline in the same run | ratio |")
        print("|---|---|---|---|")
        for what, ours, base, ratio in rows:
            print(f"| {what} | {ours} | {base} | {ratio:.2f}× |")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
