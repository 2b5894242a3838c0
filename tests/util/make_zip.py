#!/usr/bin/env python3
"""Writes a zip archive, hostile ones included, from a JSON list of entries on standard input.

Each entry: {"name": str, and one of "data": str, "zeros": n, "link": target, "dir": true;
optionally "mode": permission bits (default 0o644, folders 0o755), and "damaged": true, a byte of
its compressed data flipped}.
Names are written exactly as given: "..", absolute paths and repeats are not cleaned up."""
import json
import stat
import sys
import zipfile

out = sys.argv[1]
damaged = []
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
    for entry in json.load(sys.stdin):
        info = zipfile.ZipInfo(entry["name"])
        info.create_system = 3  # Unix: the mode lives in the upper half of external_attr
        data = b""
        if "link" in entry:
            kind, data = stat.S_IFLNK, entry["link"].encode()
            mode = 0o777
        elif entry.get("dir"):
            kind, mode = stat.S_IFDIR, entry.get("mode", 0o755)
            if not info.filename.endswith("/"):
                info.filename += "/"
        else:
            kind, mode = stat.S_IFREG, entry.get("mode", 0o644)
            data = b"\0" * entry["zeros"] if "zeros" in entry else entry.get("data", "").encode()
        info.external_attr = (kind | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data)
        if entry.get("damaged"):
            damaged.append(info.header_offset + 30 + len(info.filename.encode()) + len(info.extra) + 2)
with open(out, "r+b") as archive:
    for offset in damaged:
        archive.seek(offset)
        byte = archive.read(1)[0]
        archive.seek(offset)
        archive.write(bytes([byte ^ 0xFF]))
