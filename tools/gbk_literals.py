#!/usr/bin/env python3
"""gbk_literals.py IN OUT: copies a UTF-8 C++ source, writing the non-ASCII characters of its string
literals as the hexadecimal escapes of their GBK (code page 936) bytes.

So the program's texts stay readable in the source, while every compiler (gcc and clang alike, whatever
their execution character set options) produces the same GBK bytes.
"""
import re
import sys

LITERAL = re.compile(r'"(?:\\.|[^"\\\n])*"')


def escape_literal(match):
    literal = match.group(0)
    out = []
    pending_escape = False
    for ch in literal:
        if ord(ch) < 0x80:
            # A hexadecimal escape swallows following hex digits: close the literal and reopen it.
            if pending_escape and ch in "0123456789abcdefABCDEF":
                out.append('""')
            out.append(ch)
            pending_escape = False
        else:
            out.append("".join(f"\\x{b:02x}" for b in ch.encode("gbk")))
            pending_escape = True
    return "".join(out)


def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    converted = LITERAL.sub(escape_literal, text)
    with open(target, "w", encoding="ascii") as f:
        f.write(f"// Generated from {source} by tools/gbk_literals.py; do not edit.\n")
        f.write(converted)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
