#!/usr/bin/env python3
"""Writes a sample firmware image (.hdr) for trying the tool, and the bytes the device must receive of it."""
import argparse
import struct
import sys

HEADER_AREA = 1024
COMMAND_SIZE = 20
CHUNK = 2048


def image_bytes(size, day, month, year):
    # A pattern in which a lost, repeated or swapped chunk shows.
    data = bytearray((i * 7 + i // 251) & 0xFF for i in range(size))
    start_address = 0x00010000  # its third byte, non-zero, says that the serial-flash image carries a date
    packets = (size - HEADER_AREA + CHUNK - 1) // CHUNK
    data[0:15] = b"$" + bytes([1, 2]) + struct.pack("<Iii", start_address, size, packets)
    data[HEADER_AREA] = day
    data[HEADER_AREA + 2] = month
    data[HEADER_AREA + 3] = year - 2000
    return bytes(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image", help="the .hdr file to write")
    parser.add_argument("--size", type=int, default=256 * 1024 + HEADER_AREA, help="file size in bytes")
    parser.add_argument("--date", default="31/12/2014", help="day/month/year shown by the tool")
    parser.add_argument("--expect", help="also write what the device must receive: bytes 0-19, then 1024 to the end")
    args = parser.parse_args()

    day, month, year = (int(part) for part in args.date.split("/"))
    if args.size < HEADER_AREA + 4 or not (1 <= day <= 31 and 1 <= month <= 12 and 2000 <= year <= 2127):
        sys.exit("sample-image: the size must be at least 1028 bytes and the date a day/month/year from 2000 to 2127")
    data = image_bytes(args.size, day, month, year)
    with open(args.image, "wb") as image:
        image.write(data)
    if args.expect:
        with open(args.expect, "wb") as expect:
            expect.write(data[:COMMAND_SIZE] + data[HEADER_AREA:])


if __name__ == "__main__":
    main()
