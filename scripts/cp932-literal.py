#!/usr/bin/env python3
"""Prints a C++ string literal holding the CP932 bytes of each argument.

Japanese texts that meet scenario data must be CP932 bytes in the code; this
turns readable text into such a literal:  scripts/cp932-literal.py 'テキストレイヤー'
"""
import sys


def literal(text: str) -> str:
    out = []
    after_hex = False
    for byte in text.encode("cp932"):
        ch = chr(byte)
        if byte >= 0x80:
            out.append("\\x%02X" % byte)
            after_hex = True
            continue
        if after_hex and ch in "0123456789abcdefABCDEF":
            out.append('" "')  # end the literal so the digit is not read as hex
        after_hex = False
        out.append({"\\": "\\\\", '"': '\\"', "\r": "\\r", "\n": "\\n"}.get(ch, ch))
    return '"' + "".join(out) + '"'


for arg in sys.argv[1:]:
    print(literal(arg.encode().decode("unicode_escape").encode("latin1").decode("utf-8")))
