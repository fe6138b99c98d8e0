#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints the README's speed table: every row measured next to its baseline in
the same run, whole processes, medians of interleaved rounds.

  bench/run-bench.py [--build DIR] [--rounds N] [--numbers N] [--batch-only] [--before EXE]

Builds what it measures in DIR (default build-bench, -DLUMIVO_BENCH=ON, which
needs libbenchmark-dev; the synthetic 50 MB db.dat comes from
tools/gen-synthetic-db.py --seed 1). The start-up rows need Xvfb (apt-get
install xvfb); without it they are skipped. Peak memory is /usr/bin/time's.
--batch-only measures only the rows of a million numbers; --before EXE adds
rows for another lumivo-lookup (an earlier build) measured in the same rounds.
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


def run(cmd, stdin=None, env=None, pipe=False):
    """Wall time of one whole process, and its output. pipe: the stdin file's
    bytes are written into a pipe rather than the file given."""
    with open(stdin, "rb") if stdin else open(os.devnull, "rb") as inp:
        data = inp.read() if pipe else None
        start = time.perf_counter()
        done = subprocess.run(cmd, stdin=None if pipe else inp, input=data,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                              check=False)
        elapsed = time.perf_counter() - start
    # lumivo-lookup's 1: a number was refused, its answers written all the same.
    if done.returncode not in (0, 1):
        sys.exit(f"run-bench: {cmd[0]} failed: {done.stderr.decode(errors='replace')}")
    return elapsed, done.stdout


def peak_kib(cmd, stdin=None, env=None):
    with tempfile.NamedTemporaryFile("r") as out:
        run(["/usr/bin/time", "-f", "%M", "-o", out.name] + cmd, stdin, env)
        return int(out.read().split()[-1])


def interleaved(rounds, commands, best=False):
    """Median wall time of each command, the commands taking turns in an order
    shuffled anew each round (seeded): a process that follows one which used
    much memory starts slower, and in a fixed order the same command would
    always pay for it."""
    times = [[] for _ in commands]
    order = random.Random(len(commands))
    for _ in range(rounds):
        turns = list(range(len(commands)))
        order.shuffle(turns)
        for i in turns:
            cmd, stdin, env, *pipe = commands[i]
            times[i].append(run(cmd, stdin, env, bool(pipe and pipe[0]))[0])
    return [min(t) if best else statistics.median(t) for t in times]


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
    ap.add_argument("--batch-only", action="store_true")
    ap.add_argument("--before")
    args = ap.parse_args()
    b = args.build
    subprocess.run(["cmake", "-S", SRC, "-B", b, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DLUMIVO_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    targets = ["lumivo-lookup", "lumivo-baseline-map", "bundled_db", "synthetic_db"]
    if not args.batch_only:
        targets += ["lumivo-startup-probe", "lumivo-baseline-memmem", "lumivo-minimal-window"]
    subprocess.run(["cmake", "--build", b, "-j2", "--target"] + targets, check=True,
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
        for name, number in ({} if args.batch_only else cases).items():
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
        if not args.batch_only:
            rows.append(("peak memory of one lookup, above an empty database",
                         f"{(one(big) - one(empty)) / 1024:.1f} MiB", f"the file: {mib:.1f} MiB",
                         (one(big) - one(empty)) / 1024 / mib))
            rows.append((f"peak memory of a batch of {args.numbers:,} with its key index, "
                         "above an empty database",
                         f"{(batch(big) - batch(empty)) / 1024:.1f} MiB",
                         f"the file: {mib:.1f} MiB", (batch(big) - batch(empty)) / 1024 / mib))

        # Per lookup in a batch: the whole run less the same run without numbers,
        # from a file and from a pipe; jsonl against tsv on the bundled database.
        # The fastest of the rounds: a difference of two runs is what a stall of
        # a shared machine (reclaiming memory after the map) spoils most.
        none = os.path.join(work, "none.txt")
        open(none, "w").close()
        ours_exe = [exe("lumivo-lookup")] + ([args.before] if args.before else [])
        for db, label in ((bundled, "bundled"), (big, "50 MB")):
            base_out = run([exe("lumivo-baseline-map"), tables[db]], numbers)[1]
            same = ["same answers" if run([e, "--db", db], numbers)[1] == base_out
                    else "ANSWERS DIFFER" for e in ours_exe]
            for pipe in (False, True):
                commands = [([exe("lumivo-baseline-map"), tables[db]], numbers, None, pipe),
                            ([exe("lumivo-baseline-map"), tables[db]], none, None, pipe)]
                for e in ours_exe:
                    commands += [([e, "--db", db], numbers, None, pipe),
                                 ([e, "--db", db], none, None, pipe)]
                t = interleaved(args.rounds, commands, best=True)
                base = (t[0] - t[1]) / args.numbers * 1e6
                source = "a pipe" if pipe else "a file"
                for k, e in enumerate(ours_exe):
                    ours = (t[2 + 2 * k] - t[3 + 2 * k]) / args.numbers * 1e6
                    who = "" if k == 0 else " (before: " + e + ")"
                    rows.append((f"{args.numbers:,} numbers from {source} on the {label} "
                                 f"database, per lookup{who}", f"{ours:.2f} µs",
                                 f"std::unordered_map ({same[k]}): {base:.2f} µs", ours / base))
        for k, e in enumerate(ours_exe):
            t = interleaved(args.rounds, [
                ([e, "--db", bundled], numbers, None),
                ([e, "--db", bundled, "--format", "jsonl"], numbers, None),
                ([e, "--db", bundled], none, None)], best=True)
            who = "" if k == 0 else " (before: " + e + ")"
            tsv, jsonl = (t[0] - t[2]) / args.numbers * 1e6, (t[1] - t[2]) / args.numbers * 1e6
            rows.append((f"{args.numbers:,} numbers as jsonl, bundled database, per lookup{who}",
                         f"{jsonl:.2f} µs", f"the same as tsv: {tsv:.2f} µs", jsonl / tsv))

        # Start-up to the shown window on Xvfb, and the window's memory.
        if shutil.which("Xvfb") and not args.batch_only:
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
