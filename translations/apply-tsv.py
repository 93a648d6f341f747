#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers
"""Fills translations into the Qt Linguist files from translations-*.tsv.

Each line of a .tsv file at the top of the source tree reads
    context<TAB>source text<TAB>Japanese translation<TAB>English translation
with a column left empty where the source is already in that language. The
Japanese column goes into marulet_ja.ts and the English one into
marulet_en.ts, for messages that lupdate has already put there (run it
first: `cmake --build build --target update_translations` does both).
In a source or translation, \\n stands for a line break and \\t for a tab.

Usage: apply-tsv.py TS-FILE...
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def unescape(text):
    return text.replace("\\n", "\n").replace("\\t", "\t")


def read_tsv():
    rows = []
    for path in sorted(glob.glob(os.path.join(ROOT, "translations-*.tsv"))):
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                line = line.rstrip("\n")
                if not line.strip() or line.startswith("#"):
                    continue
                cols = (line.split("\t") + ["", "", "", ""])[:4]
                if not cols[0] or not cols[1]:
                    sys.exit(f"{path}:{number}: a context and a source text are needed")
                rows.append(tuple(unescape(c) for c in cols))
    return rows


def apply(ts_path, rows):
    column = 2 if ts_path.endswith("_ja.ts") else 3
    tree = ET.parse(ts_path)
    messages = {}
    for context in tree.getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            messages[(name, message.findtext("source"))] = message
    filled = missing = 0
    for row in rows:
        text = row[column]
        if not text:
            continue
        message = messages.get((row[0], row[1]))
        if message is None:
            print(f"{os.path.basename(ts_path)}: not in the sources: {row[0]}: {row[1]!r}")
            missing += 1
            continue
        translation = message.find("translation")
        translation.text = text
        translation.attrib.pop("type", None)
        filled += 1
    if not filled:
        print(f"{os.path.basename(ts_path)}: nothing to fill in")
        return missing
    tree.write(ts_path, encoding="utf-8", xml_declaration=True, short_empty_elements=False)
    with open(ts_path, encoding="utf-8") as f:
        text = f.read()
    with open(ts_path, "w", encoding="utf-8") as f:  # as lupdate writes it
        f.write(text.replace("<?xml version='1.0' encoding='utf-8'?>",
                             '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>', 1) + "\n")
    print(f"{os.path.basename(ts_path)}: {filled} translations filled in, {missing} not found")
    return missing


def main():
    rows = read_tsv()
    missing = sum(apply(path, rows) for path in sys.argv[1:])
    sys.exit(1 if missing else 0)


if __name__ == "__main__":
    main()
