#!/usr/bin/python3
"""Writes the reference tables that the font tests compare with.

Glyph boxes, origins, advances and coverage come from FreeType through freetype-py (the same
library, load flags and sizes the engine uses); face metrics come from the OS/2, post and
head tables as fontTools reads them (what `ttx -t OS/2 -t post` prints). Run it after the
IPA fonts change:

    /usr/bin/python3 tools/gen_font_oracle.py tests/data/text

Needs python3-freetype and python3-fonttools (tools/setup.sh installs them).
"""
import math
import os
import sys

import freetype
from fontTools.ttLib import TTFont

FACES = [
    ("IPAGothic", "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"),
    ("IPAPGothic", "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"),
    ("IPAMincho", "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf"),
]
HEIGHTS = [12, 17, 24, 33]
CODES = [0x41, 0x67, 0x6A, 0x57, 0x21, 0x7E, 0x3042, 0x6F22, 0x3002, 0xFF71, 0x2500]


def lround(x):
    """C's lround: halves away from zero."""
    return int(math.copysign(math.floor(abs(x) + 0.5), x))


def cell_units(font):
    os2 = font["OS/2"]
    return os2.usWinAscent + os2.usWinDescent


def metrics_line(family, font, height):
    os2, post = font["OS/2"], font["post"]
    cell = cell_units(font)
    scaled = lambda v: lround(v * height / cell)
    ascent = scaled(os2.usWinAscent)
    return " ".join(str(v) for v in [
        family, height,
        scaled(os2.xAvgCharWidth), ascent, height - ascent,
        max(1, scaled(os2.yStrikeoutSize)), scaled(os2.yStrikeoutPosition),
        max(1, scaled(post.underlineThickness)), scaled(post.underlinePosition)])


def glyph_line(family, face, height, code):
    index = face.get_char_index(code)
    if index == 0:
        return None
    face.load_glyph(index, freetype.FT_LOAD_NO_BITMAP)
    slot = face.glyph
    slot.render(freetype.FT_RENDER_MODE_NORMAL)
    bitmap = slot.bitmap
    levels = []
    for row in range(bitmap.rows):
        for col in range(bitmap.width):
            coverage = bitmap.buffer[row * bitmap.pitch + col]
            levels.append(chr(48 + (coverage * 64 + 127) // 255))
    return " ".join(str(v) for v in [
        family, height, "%04X" % code, bitmap.width, bitmap.rows, slot.bitmap_left, slot.bitmap_top,
        (slot.advance.x + 32) >> 6, "".join(levels) or "-"])


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else "tests/data/text"
    os.makedirs(out_dir, exist_ok=True)
    metrics = ["# family height averageWidth ascent descent strikeoutSize strikeoutPosition "
               "underlineSize underlinePosition"]
    glyphs = ["# family height code width height originX originY advance levels (chr(48 + level), row by row)"]
    for family, path in FACES:
        font = TTFont(path, lazy=True)
        face = freetype.Face(path)
        upem = font["head"].unitsPerEm
        for height in HEIGHTS:
            metrics.append(metrics_line(family, font, height))
            em = max(1, lround(height * 64.0 * upem / cell_units(font)))
            face.set_char_size(0, em, 72, 72)
            for code in CODES:
                line = glyph_line(family, face, height, code)
                if line:
                    glyphs.append(line)
    with open(os.path.join(out_dir, "face_metrics.txt"), "w") as f:
        f.write("\n".join(metrics) + "\n")
    with open(os.path.join(out_dir, "glyphs.txt"), "w") as f:
        f.write("\n".join(glyphs) + "\n")


if __name__ == "__main__":
    main()
