#!/usr/bin/env python3
"""Writes the vendor's catalog.json for a folder of firmware images, from a version list.

Usage: make-catalog.py FOLDER VERSIONS [--sequence N] [--expires-days D] [--base-url URL]

VERSIONS is a text file with one image per line: FILE VERSION CHANNEL RELEASED [NOTES...], where FILE is the image's
name in FOLDER, RELEASED a date as 2026-11-30; blank lines and lines starting with '#' are skipped. Each image's size
and SHA-256 are taken from its file. The sequence is one more than that of the catalog.json already in FOLDER (or 1),
unless --sequence gives it; the catalog expires --expires-days (default 180) after now. With --base-url, each "file"
is that URL joined with the name, for images published elsewhere than the catalog. The catalog is then signed with
openssl cms (see the user guide's section on publishing).
"""
import argparse
import datetime
import hashlib
import json
import os
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("versions")
    parser.add_argument("--sequence", type=int)
    parser.add_argument("--expires-days", type=float, default=180)
    parser.add_argument("--base-url", default="")
    parser.add_argument("--product", default="Corvane Ostrel")
    args = parser.parse_args()

    target = os.path.join(args.folder, "catalog.json")
    sequence = args.sequence
    if sequence is None:
        try:
            with open(target, encoding="utf-8") as old:
                sequence = int(json.load(old)["sequence"]) + 1
        except (OSError, ValueError, KeyError):
            sequence = 1

    images = []
    with open(args.versions, encoding="utf-8") as versions:
        for number, line in enumerate(versions, 1):
            fields = line.split(maxsplit=4)
            if not fields or fields[0].startswith("#"):
                continue
            if len(fields) < 4:
                sys.exit(f"{args.versions}:{number}: need FILE VERSION CHANNEL RELEASED [NOTES]")
            name, version, channel, released = fields[:4]
            with open(os.path.join(args.folder, name), "rb") as image:
                data = image.read()
            entry = {"version": version, "channel": channel, "released": released,
                     "file": args.base_url.rstrip("/") + "/" + name if args.base_url else name,
                     "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
            if len(fields) > 4:
                entry["notes"] = fields[4].strip()
            images.append(entry)

    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    stamp = lambda t: t.strftime("%Y-%m-%dT%H:%M:%SZ")
    catalog = {"format": 1, "product": args.product, "sequence": sequence, "published": stamp(now),
               "expires": stamp(now + datetime.timedelta(days=args.expires_days)), "images": images}
    # Written whole under another name first: a web server must never serve half a catalog.
    with open(target + ".new", "w", encoding="utf-8", newline="\n") as out:
        json.dump(catalog, out, indent=2, ensure_ascii=False)
        out.write("\n")
    os.replace(target + ".new", target)
    print(f"{target}: sequence {sequence}, {len(images)} images")


if __name__ == "__main__":
    main()
