#!/usr/bin/env python3
"""Checks the text tables against the English lang.ini: same sections and keys in the same order, each table in
UTF-16LE with its byte-order mark (which the profile functions read as Unicode whatever the system's code page),
decoding strictly, every value within the tool's 259-character limit, and the progress placeholders kept.
Usage: check_text_tables.py RES-DIR   (reads RES-DIR/lang.ini and RES-DIR/lang/*.ini)"""
import pathlib
import re
import sys

# The languages of the tables shipped beside the English one.
LANGUAGES = ("ko", "ja", "zh-CN", "ru", "de", "fr", "es")
# The tool reads a value into 260 characters, the last one the terminating zero.
MAX_VALUE_CHARS = 259
PLACEHOLDERS = {("extra", "3"): ("{done}", "{total}", "{rate}", "{left}"), ("extra", "12"): ("{version}", "{date}")}


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


def read(path):
    """The table's text, or the fault that keeps it from being read as the tool reads it."""
    data = path.read_bytes()
    if not data.startswith(b"\xff\xfe"):
        return None, "does not start with the UTF-16LE byte-order mark"
    try:
        return data[2:].decode("utf-16-le"), None
    except UnicodeDecodeError as error:
        return None, f"is not UTF-16LE: {error}"


def check(path, english_keys):
    text, fault = read(path)
    if fault:
        return [fault]
    faults = []
    entries, strays = parse(text)
    faults += [f"line neither section, key nor comment: {line!r}" for line in strays]
    keys = [(section, key) for section, key, _ in entries]
    missing, extra = sorted(set(english_keys) - set(keys)), sorted(set(keys) - set(english_keys))
    if missing or extra:
        faults.append(f"keys differ from English: missing {missing}, extra {extra}")
    elif keys != english_keys:
        faults.append("keys are repeated or not in the English order")
    for section, key, value in entries:
        # UTF-16 units, as the tool counts them: a character outside the Basic Multilingual Plane takes two.
        size = len(value.strip().encode("utf-16-le")) // 2
        if size > MAX_VALUE_CHARS:
            faults.append(f"[{section}] {key} has {size} characters, more than {MAX_VALUE_CHARS}")
        if not value.strip():
            faults.append(f"[{section}] {key} is empty")
        for placeholder in PLACEHOLDERS.get((section, key), ()):
            if placeholder not in value:
                faults.append(f"[{section}] {key} lacks {placeholder}")
    return faults


def main():
    res = pathlib.Path(sys.argv[1])
    english, fault = read(res / "lang.ini")
    if fault:
        print("text tables: lang.ini", fault)
        return 1
    english_entries, _ = parse(english)
    english_keys = [(section, key) for section, key, _ in english_entries]
    tables = sorted(p.stem for p in (res / "lang").glob("*.ini"))
    faults = [f"{code}.ini: a table of no known language" for code in tables if code not in LANGUAGES]
    faults += [f"{code}.ini is missing" for code in LANGUAGES if code not in tables]
    faults += [f"lang.ini {fault}" for fault in check(res / "lang.ini", english_keys)]
    for code in LANGUAGES:
        if code in tables:
            faults += [f"{code}.ini {fault}" for fault in check(res / "lang" / f"{code}.ini", english_keys)]
    for fault in faults:
        print("text tables:", fault)
    if not faults:
        print(f"text tables: {len(LANGUAGES)} tables match the {len(english_keys)} English keys")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
