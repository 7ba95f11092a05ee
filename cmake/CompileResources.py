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


MAX_MENU_TOKENS = 4
HEX = "0123456789abcdefABCDEF"


def unescape_menu(path, number, line):
    """The escapes of string lists plus \\xHH (one byte, 01 to 7F)."""
    out = []
    i = 0
    while i < len(line):
        c = line[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        if line[i + 1 : i + 2] == "x":
            digits = line[i + 2 : i + 4]
            if len(digits) != 2 or any(d not in HEX for d in digits) or not 0 < int(digits, 16) < 0x80:
                raise SourceError(f"{path}:{number}: bad \\x escape")
            out.append(chr(int(digits, 16)))
            i += 4
            continue
        if i + 1 >= len(line) or line[i + 1] not in ESCAPES:
            raise SourceError(f"{path}:{number}: unknown escape")
        out.append(ESCAPES[line[i + 1]])
        i += 2
    return "".join(out)


def is_space(c):
    return c == " " or 9 <= ord(c) <= 13


def menu_tokens(path, number, text):
    """Splits a line as the menu loader does: blank-separated tokens, each possibly in double
    quotes or apostrophes (a doubled quote inside stands for one)."""
    tokens = []
    i = 0
    n = len(text)
    while True:
        while i < n and is_space(text[i]):
            i += 1
        if i >= n:
            return tokens
        if text[i] in "\"'":
            quote = text[i]
            i += 1
            token = []
            while True:
                if i >= n:
                    raise SourceError(f"{path}:{number}: unterminated quote")
                if text[i] == quote:
                    if i + 1 < n and text[i + 1] == quote:
                        token.append(quote)
                        i += 2
                        continue
                    i += 1
                    break
                token.append(text[i])
                i += 1
            tokens.append("".join(token))
        else:
            start = i
            while i < n and not is_space(text[i]):
                i += 1
            tokens.append(text[start:i])


def valid_key_spec(spec):
    i = 0
    while i < len(spec) and "a" <= spec[i] <= "z":
        i += 1
    return i < len(spec) and 32 <= ord(spec[i]) <= 126


def compile_menu(path, data):
    """A menu: the first line "name title", then one item per line (command id, text, key spec,
    submenu name), a lone "-" a separator. Answers the submenus it names with the data."""
    rid = None
    strings = []
    submenus = []
    for number, line in enumerate(lines_of(path, data), 1):
        if line.startswith("%%"):
            value = directive_id(path, number, line)
            if value is not None:
                rid = value
            continue
        if not line.strip(" \t"):
            continue
        if not strings:
            text = unescape_menu(path, number, line)
            tokens = menu_tokens(path, number, text)
            if len(tokens) > 2:
                raise SourceError(f"{path}:{number}: the first line holds a name and a title")
            strings.append(text)
            continue
        if line.strip(" \t") == "-":
            strings.append("")
            continue
        text = unescape_menu(path, number, line)
        tokens = menu_tokens(path, number, text)
        if len(tokens) > MAX_MENU_TOKENS:
            raise SourceError(f"{path}:{number}: more than {MAX_MENU_TOKENS} tokens")
        if len(tokens) > 2 and tokens[2] and not valid_key_spec(tokens[2]):
            raise SourceError(f"{path}:{number}: bad key spec {tokens[2]!r}")
        if len(tokens) > 3 and tokens[3]:
            submenus.append((tokens[3], number))
        strings.append(text)
    if not strings:
        raise SourceError(f"{path}: no name and title line")
    return rid, (string_list(strings), submenus)


def compile_menu_bar(path, data):
    """A menu bar: one menu name per line."""
    rid = None
    names = []
    for number, line in enumerate(lines_of(path, data), 1):
        if line.startswith("%%"):
            value = directive_id(path, number, line)
            if value is not None:
                rid = value
            continue
        name = line.strip(" \t")
        if not name:
            continue
        if not NAME_RE.match(name):
            raise SourceError(f"{path}:{number}: bad menu name")
        names.append(name)
    return rid, (string_list(names), [(n, i + 1) for i, n in enumerate(names)])


def check_menus(menus, bars):
    """Every submenu and bar entry names a menu; no menu names itself or an ancestor."""
    for name, (_, (_, entries), path) in bars.items():
        for sub, number in entries:
            if sub not in menus:
                raise SourceError(f"{path}:{number}: menu {sub} is missing")
    state = {}

    def visit(name):
        state[name] = 1
        _, (_, subs), path = menus[name]
        for sub, number in subs:
            if sub not in menus:
                raise SourceError(f"{path}:{number}: submenu {sub} is missing")
            if state.get(sub) == 1:
                raise SourceError(f"{path}:{number}: submenu {sub} contains itself")
            if not state.get(sub):
                visit(sub)
        state[name] = 2

    for name in sorted(menus):
        if not state.get(name):
            visit(name)


def compile_png(path, data):
    if not data.startswith(b"\x89PNG\r\n\x1a\n"):
        raise SourceError(f"{path}: not a PNG file")
    return None, data


KINDS = [
    ("Strings", ".cst", "CST#", compile_strings),
    ("Layouts", ".tlyo", "TLYO", compile_layout),
    ("Images", ".png", "TPNG", compile_png),
    ("Menus", ".tmnu", "TMNU", compile_menu),
    ("Menus", ".tmnb", "TMNB", compile_menu_bar),
]


def collect(source_dirs):
    entries = []
    inputs = []
    compiled = {}
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
        compiled[rtype] = found
        if rtype == "TMNB":
            check_menus(compiled["TMNU"], found)
        if rtype in ("TMNU", "TMNB"):
            found = {n: (r, d[0], p) for n, (r, d, p) in found.items()}
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
