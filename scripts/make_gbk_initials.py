#!/usr/bin/env python3
"""Writes data/gbk_initials.txt: the pinyin initial of every GBK character.

The readings come from Debian's golang-github-mozillazg-go-pinyin-dev, whose
pinyin_dict.go maps each Unicode code point to its readings, drawn from the
Unihan database (kHanyuPinyin, kMandarin, kXHC1983 ...) with the most common
reading first. This script is run by hand when that data should be taken
again; the build only reads the table it wrote:

    apt-get install golang-github-mozillazg-go-pinyin-dev
    python3 scripts/make_gbk_initials.py [path/to/pinyin_dict.go]

The table is replaced only once it is complete and the check below passed.

The first-level characters of GB2312 (B0A1 to D7F9) are ordered by pinyin, so
the program takes their initial from the code's range; the table holds "."
there. Before writing, the script checks that range table against the data:
every first-level character's range initial must be one of its readings.
"""
import os
import re
import sys
import unicodedata

DEFAULT_DICT = "/usr/share/gocode/src/github.com/mozillazg/go-pinyin/pinyin_dict.go"
TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "gbk_initials.txt")

# First code of each initial among the first-level characters; the same table
# the program uses (core/base/pinyin_initials.cpp).
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


def load_readings(path):
    readings = {}
    pattern = re.compile(r'^\s*0x([0-9A-Fa-f]+):\s*"([^"]*)"')
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if m:
                readings[int(m.group(1), 16)] = [r for r in m.group(2).split(",") if r]
    if not readings:
        sys.exit(f"no readings found in {path}")
    return readings


def gbk_char(code):
    try:
        return bytes([code >> 8, code & 0xFF]).decode("gbk")
    except UnicodeDecodeError:
        return None


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_DICT
    readings = load_readings(path)

    # The range table must agree with the data.
    checked, first_differs, failures = 0, 0, []
    for code in range(0xB0A1, LEVEL1_END + 1):
        if not is_level1(code):
            continue
        ch = gbk_char(code)
        if ch is None:
            continue
        checked += 1
        letters = [first_letter(r) for r in readings.get(ord(ch), [])]
        initial = level1_initial(code)
        if initial not in letters:
            failures.append(f"{code:04X} {ch} range {initial}, readings {letters}")
        elif letters[0] != initial:
            first_differs += 1
    if failures or checked != 3755:
        sys.exit("range table disagrees with the data (%d checked):\n%s" % (checked, "\n".join(failures)))
    print(f"level 1: {checked} characters agree with the range table; "
          f"{first_differs} of them are read first another way in the data", file=sys.stderr)

    lines = [
        "# Pinyin initial of every GBK double-byte character, one line per lead byte.",
        "# A line is the lead byte in hex, a blank, then one mark for each trail byte",
        "# 40 to FE: the initial, \".\" where the code's range gives it (GB2312 level 1),",
        "# \"-\" for no reading (symbols, unassigned codes, trail byte 7F).",
        "# Written by scripts/make_gbk_initials.py from the readings of the Debian package",
        "# golang-github-mozillazg-go-pinyin-dev (Unihan-derived, most common first).",
    ]
    with_reading = 0
    for lead in range(0x81, 0xFF):
        marks = []
        for trail in range(0x40, 0xFF):
            code = lead << 8 | trail
            if is_level1(code):
                marks.append(".")
                continue
            ch = gbk_char(code) if trail != 0x7F else None
            letter = None
            if ch is not None and len(ch) == 1 and readings.get(ord(ch)):
                letter = first_letter(readings[ord(ch)][0])
            marks.append(letter or "-")
            with_reading += letter is not None
        lines.append(f"{lead:02X} {''.join(marks)}")

    table = os.path.normpath(TABLE)
    with open(table + ".new", "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(table + ".new", table)
    print(f"other GBK characters with a reading: {with_reading}; written to {table}", file=sys.stderr)

if __name__ == "__main__":
    main()
