#!/usr/bin/env python3
"""Writes data/gbk_initials.txt: the pinyin initials of every GBK character.

A character counts under the initial of every one of its modern readings
(重 under z and c, 调 under t and d, 行 under x and h), as Unicode's Unihan
database gives them in the fields kMandarin, kXHC1983, kTGHZ2013 and
kHanyuPinlu. kHanyuPinyin is left out: it also lists archaic readings that
would only add noise to a search. The data is Debian's unicode-data package
(/usr/share/unicode/Unihan_Readings.txt.bz2). This script is run by hand when
that data should be taken again; the build only reads the table it wrote, so
neither the package nor this script is needed to build:

    apt-get install unicode-data      # or: scripts/setup.sh --tables
    python3 scripts/make_gbk_initials.py [path/to/Unihan_Readings.txt[.bz2]]

Before writing, the script checks its input, and stops leaving the table as it
was when a check fails:
  - every one of the four fields is present in quantity;
  - GB2312's first-level characters (B0A1 to D7F9), which that standard orders
    by pinyin, all have readings, and the initial that a character's code range
    implies is one of them;
  - a few well-known characters with two readings have both;
  - the distinct sets of initials fit the program's coding, one byte per
    character (core/base/pinyin_initials.cpp).
The table is replaced only once it is complete.
"""
import bz2
import os
import re
import sys
import unicodedata

DEFAULT_INPUT = "/usr/share/unicode/Unihan_Readings.txt.bz2"
TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "gbk_initials.txt")
FIELDS = ("kMandarin", "kXHC1983", "kTGHZ2013", "kHanyuPinlu")
# Fewest entries each field had in Unicode 15; far fewer means a damaged file.
MIN_ENTRIES = {"kMandarin": 30000, "kXHC1983": 10000, "kTGHZ2013": 8000, "kHanyuPinlu": 3000}
# The program codes a character's set of initials as one byte: a single letter
# or digit as itself, every larger set as one of the bytes left over.
MAX_MULTI_SETS = 255 - 26 * 2 - 10  # bytes 1 to 255 but letters and digits
KNOWN = {"重": "cz", "调": "dt", "长": "cz", "行": "hx", "膀": "bp"}

# First code of each initial among the first-level characters.
LEVEL1_STARTS = [
    (0xB0A1, "a"), (0xB0C5, "b"), (0xB2C1, "c"), (0xB4EE, "d"), (0xB6EA, "e"),
    (0xB7A2, "f"), (0xB8C1, "g"), (0xB9FE, "h"), (0xBBF7, "j"), (0xBFA6, "k"),
    (0xC0AC, "l"), (0xC2E8, "m"), (0xC4C3, "n"), (0xC5B6, "o"), (0xC5BE, "p"),
    (0xC6DA, "q"), (0xC8BB, "r"), (0xC8F6, "s"), (0xCBFA, "t"), (0xCDDA, "w"),
    (0xCEF4, "x"), (0xD1B9, "y"), (0xD4D1, "z"),
]
LEVEL1_END = 0xD7F9


def is_level1(code):
    trail = code & 0xFF
    return 0xB0A1 <= code <= LEVEL1_END and 0xA1 <= trail <= 0xFE


def level1_initial(code):
    initial = None
    for start, letter in LEVEL1_STARTS:
        if code >= start:
            initial = letter
    return initial


def first_letter(reading):
    """The reading's first letter without its tone mark: "ǎi" gives "a"."""
    for ch in unicodedata.normalize("NFD", reading):
        if "a" <= ch.lower() <= "z":
            return ch.lower()
    return None


def load_initials(path):
    """Code point -> set of initials, and the number of entries per field."""
    initials, counts = {}, dict.fromkeys(FIELDS, 0)
    opener = bz2.open if path.endswith(".bz2") else open
    with opener(path, "rt", encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != 3 or parts[1] not in counts or not parts[0].startswith("U+"):
                continue
            counts[parts[1]] += 1
            # kMandarin "zhòng"; kXHC1983 and kTGHZ2013 "0149.100:chóng";
            # kHanyuPinlu "xíng(2943)"; several readings blank-separated.
            for token in parts[2].split():
                reading = re.sub(r"\(\d+\)$", "", token.split(":")[-1])
                letter = first_letter(reading)
                if letter:
                    initials.setdefault(int(parts[0][2:], 16), set()).add(letter)
    return initials, counts


def gbk_char(code):
    try:
        return bytes([code >> 8, code & 0xFF]).decode("gbk")
    except UnicodeDecodeError:
        return None


def check(initials, counts):
    failures = []
    for field, least in MIN_ENTRIES.items():
        if counts[field] < least:
            failures.append(f"{field}: {counts[field]} entries, expected at least {least}")
    checked = 0
    for code in range(0xB0A1, LEVEL1_END + 1):
        ch = gbk_char(code) if is_level1(code) else None
        if ch is None:
            continue
        checked += 1
        letters = initials.get(ord(ch), set())
        if level1_initial(code) not in letters:
            failures.append(f"{code:04X} {ch}: range {level1_initial(code)}, readings {sorted(letters)}")
    if checked != 3755:
        failures.append(f"{checked} first-level characters, expected 3755")
    for ch, expected in KNOWN.items():
        if "".join(sorted(initials.get(ord(ch), ()))) != expected:
            failures.append(f"{ch}: {sorted(initials.get(ord(ch), ()))}, expected {expected}")
    return failures


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_INPUT
    if not os.path.isfile(path):
        sys.exit(f"{path} not found (apt-get install unicode-data)")
    initials, counts = load_initials(path)
    failures = check(initials, counts)

    lines = [
        "# Pinyin initials of every GBK double-byte character, one line per lead byte.",
        "# A line is the lead byte in hex, a blank, then one mark for each trail byte",
        "# 40 to FE: the initial, the initials of a character with readings that begin",
        "# differently in brackets (\"(cz)\" for the character zhong/chong), \"-\" for",
        "# no reading (symbols, unassigned codes, trail byte 7F).",
        "# Written by scripts/make_gbk_initials.py from Unihan's kMandarin, kXHC1983,",
        "# kTGHZ2013 and kHanyuPinlu (Debian package unicode-data).",
    ]
    multi_sets, with_reading, with_several = set(), 0, 0
    for lead in range(0x81, 0xFF):
        marks = []
        for trail in range(0x40, 0xFF):
            ch = gbk_char(lead << 8 | trail) if trail != 0x7F else None
            letters = "".join(sorted(initials.get(ord(ch), ()))) if ch and len(ch) == 1 else ""
            if not letters:
                marks.append("-")
                continue
            with_reading += 1
            if len(letters) > 1:
                with_several += 1
                multi_sets.add(letters)
                marks.append(f"({letters})")
            else:
                marks.append(letters)
        lines.append(f"{lead:02X} {''.join(marks)}")
    if len(multi_sets) > MAX_MULTI_SETS:
        failures.append(f"{len(multi_sets)} distinct sets of initials, at most {MAX_MULTI_SETS} fit")
    if failures:
        sys.exit("the readings fail the checks; the table is left as it was:\n" + "\n".join(failures))

    table = os.path.normpath(TABLE)
    with open(table + ".new", "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(table + ".new", table)
    print(f"{with_reading} GBK characters with a reading, {with_several} of them with several "
          f"initials ({len(multi_sets)} distinct sets); written to {table}", file=sys.stderr)


if __name__ == "__main__":
    main()
