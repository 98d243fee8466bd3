#!/usr/bin/env python3
"""Checks the translated text tables against the English lang.ini: same sections and keys in the same order, each
table in its Windows code page (decodes strictly, round-trips, is not UTF-8 by mistake), no byte-order mark, every
value within the tool's text buffer, and the progress placeholders kept.
Usage: check_text_tables.py RES-DIR   (reads RES-DIR/lang.ini and RES-DIR/lang/*.ini)"""
import pathlib
import re
import sys

# The ANSI code page of a Windows system set to each table's language: the window reads the file in that one.
CODE_PAGES = {
    "ko": "cp949",
    "ja": "cp932",
    "zh-CN": "cp936",
    "ru": "cp1251",
    "de": "cp1252",
    "fr": "cp1252",
    "es": "cp1252",
}
# The tool reads a value into 260 chars, the last one the terminating zero.
MAX_VALUE_BYTES = 259
PLACEHOLDERS = {("extra", "3"): ("{done}", "{total}", "{rate}", "{left}")}


def parse(text):
    """[(section, key, value)] in file order, and the lines that are neither."""
    entries, strays, section = [], [], None
    for line in text.splitlines():
        if not line.strip() or line.startswith(";"):
            continue
        header = re.fullmatch(r"\[([^\]]+)\]", line)
        if header:
            section = header.group(1)
        elif "=" in line and section:
            key, value = line.split("=", 1)
            entries.append((section, key, value))
        else:
            strays.append(line)
    return entries, strays


def check(path, code_page, english_keys):
    data = path.read_bytes()
    if data.startswith((b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff")):
        return ["starts with a byte-order mark"]
    try:
        text = data.decode(code_page)
    except UnicodeDecodeError as error:
        return [f"does not decode in {code_page}: {error}"]
    faults = []
    if text.encode(code_page) != data:
        faults.append(f"does not round-trip through {code_page}")
    if any(b >= 0x80 for b in data):
        try:
            data.decode("utf-8")
            faults.append(f"is UTF-8, not {code_page}")
        except UnicodeDecodeError:
            pass
    entries, strays = parse(text)
    faults += [f"line neither section, key nor comment: {line!r}" for line in strays]
    keys = [(section, key) for section, key, _ in entries]
    missing, extra = sorted(set(english_keys) - set(keys)), sorted(set(keys) - set(english_keys))
    if missing or extra:
        faults.append(f"keys differ from English: missing {missing}, extra {extra}")
    elif keys != english_keys:
        faults.append("keys are repeated or not in the English order")
    for section, key, value in entries:
        size = len(value.strip().encode(code_page))
        if size > MAX_VALUE_BYTES:
            faults.append(f"[{section}] {key} has {size} bytes, more than {MAX_VALUE_BYTES}")
        if not value.strip():
            faults.append(f"[{section}] {key} is empty")
        for placeholder in PLACEHOLDERS.get((section, key), ()):
            if placeholder not in value:
                faults.append(f"[{section}] {key} lacks {placeholder}")
    return faults


def main():
    res = pathlib.Path(sys.argv[1])
    english_entries, _ = parse((res / "lang.ini").read_text(encoding="ascii"))
    english_keys = [(section, key) for section, key, _ in english_entries]
    tables = sorted(p.stem for p in (res / "lang").glob("*.ini"))
    faults = [f"{code}.ini: a table of no known language" for code in tables if code not in CODE_PAGES]
    faults += [f"{code}.ini is missing" for code in CODE_PAGES if code not in tables]
    faults += [f"lang.ini {fault}" for fault in check(res / "lang.ini", "cp1252", english_keys)]
    for code, code_page in CODE_PAGES.items():
        if code in tables:
            faults += [f"{code}.ini {fault}" for fault in check(res / "lang" / f"{code}.ini", code_page, english_keys)]
    for fault in faults:
        print("text tables:", fault)
    if not faults:
        print(f"text tables: {len(CODE_PAGES)} tables match the {len(english_keys)} English keys")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
