#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Checks the table of number forms against python3-phonenumbers, a reference
independent of Lumivo: for every row, whether phonenumbers parses the number
for region JP as a valid Japanese mobile number must match the table's
"mobile"/"other" field, and a row whose answer (found or refused) differs from
that must give its reason. Exit 77 (skipped) without phonenumbers.

  check-number-forms.py number-forms.txt
"""

import sys

try:
    import phonenumbers
except ImportError:
    print("SKIP: python3-phonenumbers is not installed (apt-get install python3-phonenumbers)")
    sys.exit(77)


def is_jp_mobile(text):
    try:
        number = phonenumbers.parse(text, "JP")
    except phonenumbers.NumberParseException:
        return False
    return (number.country_code == 81 and phonenumbers.is_valid_number(number)
            and phonenumbers.number_type(number) == phonenumbers.PhoneNumberType.MOBILE)


failures = rows = 0
with open(sys.argv[1], encoding="utf-8") as table:
    for line in table:
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        fields = line.split("\t")
        given, code, verdict = fields[0].replace("\\t", "\t"), fields[2], fields[4]
        given = given.removeprefix("--strict ")
        why = fields[5] if len(fields) > 5 else ""
        rows += 1
        oracle = "mobile" if is_jp_mobile(given) else "other"
        if oracle != verdict:
            print(f"FAIL: {given!r}: phonenumbers says {oracle}, the table {verdict}")
            failures += 1
        if (code != "-") != (oracle == "mobile") and not why:
            print(f"FAIL: {given!r}: answered unlike phonenumbers ({oracle}) without a reason")
            failures += 1
print(f"{rows} rows, {failures} failures (phonenumbers {phonenumbers.__version__})")
sys.exit(1 if failures or rows == 0 else 0)
