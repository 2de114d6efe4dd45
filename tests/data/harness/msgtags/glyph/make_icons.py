# Writes the click-wait icons of the glyph pair (tests/scripts/message_tags.cmake) into the
# folder given: icon.png, 8x8 opaque red, and padded.png, the same square at (5, 22) of a
# transparent 13x30 image.
import struct, sys, zlib


def png(path, width, height, pixel):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(width)) for y in range(height))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


red, clear = b"\xff\x00\x00\xff", b"\x00\x00\x00\x00"
png(sys.argv[1] + "/icon.png", 8, 8, lambda x, y: red)
png(sys.argv[1] + "/padded.png", 13, 30, lambda x, y: red if x >= 5 and y >= 22 else clear)
