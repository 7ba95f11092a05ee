#!/usr/bin/env python3
"""Compiles resource sources into one resource file (see Resources/README.md).

usage: CompileResources.py --out FILE [--depfile FILE] SOURCE_DIR...
"""
import argparse
import os
import re
import struct
import sys

MAGIC = b"ORSC"
VERSION = 1
NAME_RE = re.compile(r"^[A-Za-z0-9_.\-]{1,255}$")
ID_RE = re.compile(r"^%%id (-?[0-9]+)$")
PART_RE = re.compile(r"^%%part ([0-9]+)$")
MAX_PARTS = 64
FIRST_AUTO_ID = 128


class SourceError(Exception):
    pass


def fcc(text):
    return struct.unpack(">I", text.encode("latin-1"))[0]


def lines_of(path, data):
    if b"\0" in data:
        raise SourceError(f"{path}: contains a 0 byte")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise SourceError(f"{path}: not UTF-8 ({e})")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return [line[:-1] if line.endswith("\r") else line for line in lines]


def directive_id(path, number, line):
    m = ID_RE.match(line)
    if not m:
        return None
    value = int(m.group(1))
    if not -(2**31) <= value < 2**31:
        raise SourceError(f"{path}:{number}: id out of range")
    return value


def string_list(strings):
    if len(strings) > 0xFFFF:
        raise SourceError("more than 65535 strings")
    out = bytearray(struct.pack(">H", len(strings)))
    for s in strings:
        out += s.encode("utf-8") + b"\0"
    return bytes(out)


ESCAPES = {"\\": "\\", "n": "\n", "t": "\t", "r": "\r", "%": "%"}


def unescape(path, number, line):
    out = []
    i = 0
    while i < len(line):
        c = line[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        if i + 1 >= len(line) or line[i + 1] not in ESCAPES:
            raise SourceError(f"{path}:{number}: unknown escape")
        out.append(ESCAPES[line[i + 1]])
        i += 2
    return "".join(out)


def compile_strings(path, data):
    rid = None
    strings = []
    for number, line in enumerate(lines_of(path, data), 1):
        if line.startswith("%%"):
            value = directive_id(path, number, line)
            if value is not None:
                rid = value
            continue
        strings.append(unescape(path, number, line))
    return rid, string_list(strings)


def compile_layout(path, data):
    rid = None
    parts = []
    in_part = False
    for number, line in enumerate(lines_of(path, data), 1):
        m = PART_RE.match(line)
        if m:
            n = int(m.group(1))
            if n > MAX_PARTS or n < len(parts):
                raise SourceError(f"{path}:{number}: part {n} out of order")
            parts.extend([""] * (n + 1 - len(parts)))
            in_part = True
            continue
        if line.startswith("%%"):
            value = directive_id(path, number, line)
            if value is not None:
                rid = value
            continue
        if not in_part:
            if line.strip(" \t"):
                raise SourceError(f"{path}:{number}: text before the first part")
            continue
        parts[-1] += line + "\n"
    return rid, string_list(parts)


def compile_png(path, data):
    if not data.startswith(b"\x89PNG\r\n\x1a\n"):
        raise SourceError(f"{path}: not a PNG file")
    return None, data


KINDS = [
    ("Strings", ".cst", "CST#", compile_strings),
    ("Layouts", ".tlyo", "TLYO", compile_layout),
    ("Images", ".png", "TPNG", compile_png),
]


def collect(source_dirs):
    entries = []
    inputs = []
    for folder, suffix, rtype, compiler in KINDS:
        found = {}
        for source in source_dirs:
            d = os.path.join(source, folder)
            if not os.path.isdir(d):
                continue
            for file in sorted(os.listdir(d)):
                if not file.endswith(suffix):
                    continue
                name = file[: -len(suffix)]
                path = os.path.join(d, file)
                if not NAME_RE.match(name):
                    raise SourceError(f"{path}: bad resource name")
                if name in found:
                    raise SourceError(f"{path}: {rtype} {name} defined twice")
                with open(path, "rb") as f:
                    rid, data = compiler(path, f.read())
                found[name] = (rid, data, path)
                inputs.append(path)
        used = {rid for rid, _, _ in found.values() if rid is not None}
        if len(used) != len([1 for rid, _, _ in found.values() if rid is not None]):
            raise SourceError(f"{rtype}: two resources share an id")
        next_id = FIRST_AUTO_ID
        for name in sorted(found):
            rid, data, path = found[name]
            if rid is None:
                while next_id in used:
                    next_id += 1
                rid = next_id
                used.add(rid)
            entries.append((fcc(rtype), rid, name.encode("utf-8"), data))
    return entries, inputs


def build(entries):
    header = bytearray(MAGIC + struct.pack(">II", VERSION, len(entries)))
    offset = 12 + 24 * len(entries)
    body = bytearray()
    for rtype, rid, name, data in entries:
        header += struct.pack(">IiIIII", rtype, rid, offset, len(name), offset + len(name), len(data))
        body += name + data
        offset += len(name) + len(data)
    return bytes(header + body)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("sources", nargs="+")
    args = parser.parse_args()
    try:
        entries, _ = collect(args.sources)
    except SourceError as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    image = build(entries)
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    temp = args.out + ".tmp"
    with open(temp, "wb") as f:
        f.write(image)
    os.replace(temp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
