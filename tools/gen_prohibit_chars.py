#!/usr/bin/env python3
"""Writes Classes/TEXT/ProhibitChars.inc: the full-width characters that may not begin or
end a line, as Shift_JIS and as UTF-8 bytes, each converted by iconv."""
import subprocess
import sys

HEAD = "、。，．・：；！？」』）｝〕］】"
FOOT = "「『（｛〔［【"


def convert(char, encoding):
    return subprocess.run(["iconv", "-f", "UTF-8", "-t", encoding], input=char.encode("utf-8"),
                          stdout=subprocess.PIPE, check=True).stdout


def table(name, chars, encoding):
    items = ", ".join('"' + "".join("\\x%02X" % b for b in convert(c, encoding)) + '"' for c in chars)
    return "const char* const %s[] = {%s};\n" % (name, items)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "Classes/TEXT/ProhibitChars.inc"
    text = "// Written by tools/gen_prohibit_chars.py; do not edit.\n"
    text += table("kHeadSjis", HEAD, "CP932") + table("kHeadUtf8", HEAD, "UTF-8")
    text += table("kFootSjis", FOOT, "CP932") + table("kFootUtf8", FOOT, "UTF-8")
    with open(out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
