#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Makes a large, seeded prefix table for benchmarks and, optionally, builds it
into a db.dat with lumivo-mkdb.

The bundled database is small (about 2,500 records); the speed goals are set for
a file of about 50 MB, so this makes one of that size with the same shape: most
6-digit blocks are split down to 9 digits (kind H records, with the C160/C161
steering records lumivo-mkdb writes above them), some stay whole at 6, 7 or 8
digits, and a few blocks are left out so that absent numbers exist.

  tools/gen-synthetic-db.py --seed 1 --table big.csv [--mkdb PATH --out big.dat]

The same seed always gives the same table. --scale shrinks or grows the share of
blocks split down to 9 digits (1.0 gives about 50 MB).
"""

import argparse
import random
import subprocess
import sys

# Codes with a row of their own in the carrier table (steering codes excluded:
# the producer writes those itself).
CODES = (
    [f"C1{n:02d}" for n in range(0, 19)]
    + ["C120", "C121", "C122"]
    + [f"C13{n}" for n in range(0, 9)]
    + [f"C15{n}" for n in range(0, 5)]
    + [f"P1{n:02d}" for n in range(0, 29) if n != 9]
)


def generate(seed, scale):
    rng = random.Random(seed)
    # Probability that a block stays whole at 6, 7 and 8 digits.
    whole6, whole7, whole8 = 0.05, 0.10, 0.15
    split9 = min(1.0, scale)
    rows = []
    for head in ("090", "080", "070"):
        for b6 in range(1000):
            p6 = f"{head}{b6:03d}"
            if rng.random() < 0.03:
                continue  # a block nobody holds: its numbers are absent
            if rng.random() < whole6:
                rows.append((p6, rng.choice(CODES)))
                continue
            for d7 in range(10):
                p7 = f"{p6}{d7}"
                if rng.random() < whole7:
                    rows.append((p7, rng.choice(CODES)))
                    continue
                for d8 in range(10):
                    p8 = f"{p7}{d8}"
                    if rng.random() < whole8 or rng.random() >= split9:
                        rows.append((p8, rng.choice(CODES)))
                        continue
                    for d9 in range(10):
                        rows.append((f"{p8}{d9}", rng.choice(CODES)))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--table", required=True, help="CSV table to write")
    parser.add_argument("--mkdb", help="lumivo-mkdb to build the table with")
    parser.add_argument("--out", help="db.dat to build (needs --mkdb)")
    parser.add_argument("--date", default="20261206")
    parser.add_argument("--version", default="9000")
    args = parser.parse_args()

    rows = generate(args.seed, args.scale)
    with open(args.table, "w", encoding="ascii", newline="\n") as f:
        f.write(f"# synthetic benchmark table, seed {args.seed}, scale {args.scale}\n")
        f.write("prefix,code\n")
        for prefix, code in rows:
            f.write(f"{prefix},{code}\n")
    print(f"{args.table}: {len(rows)} rows", file=sys.stderr)

    if args.out:
        if not args.mkdb:
            parser.error("--out needs --mkdb")
        subprocess.run([args.mkdb, "build", "--table", args.table, "--date", args.date,
                        "--version", args.version, "--out", args.out], check=True)


if __name__ == "__main__":
    main()
