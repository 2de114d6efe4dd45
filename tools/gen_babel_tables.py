#!/usr/bin/env python3
"""Generates babel/code_tables_data.cpp, the constant code tables of the
conversion engines.

The source data is Python's own "cp932" and "euc_jp" codecs (CPython's
tables of Microsoft code page 932 and of JIS X 0212); every other table is
derived from them by the rules below, so the output is reproducible on any
machine with Python 3:

    python3 tools/gen_babel_tables.py > babel/code_tables_data.cpp

Rules:
  * Shift_JIS -> UTF-16: the double-byte codes of code page 932 (without the
    user-defined area F040-F9FC) and the half-width katakana A1-DF.
  * UTF-16 -> Shift_JIS: every value back to one code, preferring JIS X 0208,
    then the NEC special row (87xx), then the NEC-selected IBM rows (ED/EE);
    never an IBM extension code (FA-FC). Seven JIS-standard characters are
    added (U+00A2, U+00A3, U+00AC, U+2014, U+2016, U+2212, U+301C).
  * EUC-JP -> UTF-16: the same characters carried over by JIS row and cell;
    a code whose character an earlier code already carries is left out.
  * JIS X 0212 (EUC 8F b1 b2) -> UTF-16: the euc_jp codec's three-byte part.
  * UTF-16 -> EUC-JP: the inverse of both, two-byte codes first.
  * IBM extensions <-> EUC-JP: each IBM code goes to the EUC form of the code
    that UTF-16 -> Shift_JIS picks for its character.
"""
import sys


def decode(data, codec):
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def is_lead(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def is_trail(t):
    return 0x40 <= t <= 0xFC and t != 0x7F


def sjis_to_jis(code):
    """Shift_JIS double-byte code -> (row, cell), both 1-based."""
    b, t = code >> 8, code & 0xFF
    j = (b - 0x70 if b < 0xA0 else b - 0xB0) * 2
    if t >= 0x80:
        t -= 1
    if t < 0x9E:
        j -= 1
        t -= 0x1F
    else:
        t -= 0x7D
    return j - 0x20, t - 0x20


def sjis_to_euc(code):
    row, cell = sjis_to_jis(code)
    return ((row + 0xA0) << 8) | (cell + 0xA0)


def sjis_class(code):
    """Preference class of a code page 932 code: lower is preferred."""
    if code <= 0xFF:
        return 0            # half-width katakana
    if 0x8740 <= code <= 0x879C:
        return 2            # NEC special characters (row 13)
    if 0xED40 <= code <= 0xEEFC:
        return 3            # NEC-selected IBM extensions (rows 89-92)
    if 0xFA40 <= code <= 0xFC4B:
        return 4            # IBM extensions
    return 1                # JIS X 0208


def build():
    # 1. Shift_JIS (code page 932) -> UTF-16
    t1 = {}
    for b in range(0x81, 0xFD):
        if not is_lead(b) or 0xF0 <= b <= 0xF9:
            continue
        for t in range(0x40, 0xFD):
            if not is_trail(t):
                continue
            u = decode(bytes([b, t]), "cp932")
            if u is not None:
                t1[(b << 8) | t] = u
    for b in range(0xA1, 0xE0):
        t1[b] = decode(bytes([b]), "cp932")
    assert len(t1) == 7787, len(t1)
    assert t1[0x815C] == 0x2015 and t1[0x8160] == 0xFF5E and t1[0xB1] == 0xFF71

    # 2. UTF-16 -> Shift_JIS
    t2 = {}
    for code in sorted(t1, key=lambda c: (sjis_class(c), c)):
        if sjis_class(code) == 4:
            continue
        t2.setdefault(t1[code], code)
    assert set(t2) == set(t1.values())
    extras = {0x00A2: 0x8191, 0x00A3: 0x8192, 0x00AC: 0x81CA, 0x2014: 0x815C,
              0x2016: 0x8161, 0x2212: 0x817C, 0x301C: 0x8160}
    for u, code in extras.items():
        assert u not in t2
        t2[u] = code
    assert len(t2) == 7396, len(t2)
    assert t2[0x2252] == 0x81E0 and t2[0x2160] == 0x8754 and t2[0x2170] == 0xEEEF

    # 3. EUC-JP two-byte -> UTF-16
    t3 = {}
    dropped = []
    seen = set()
    for code in sorted((c for c in t1 if sjis_class(c) in (1, 2, 3)),
                       key=lambda c: (sjis_class(c), c)):
        euc = sjis_to_euc(code)
        if t1[code] in seen:
            dropped.append(euc)
            continue
        seen.add(t1[code])
        t3[euc] = t1[code]
    for b in range(0xA1, 0xE0):
        t3[0x8E00 | b] = t1[b]
    assert sorted(dropped) == [0xADF0, 0xADF1, 0xADF2, 0xADF5, 0xADF6, 0xADF7,
                               0xADFA, 0xADFB, 0xADFC, 0xFCFB], [hex(d) for d in dropped]
    assert len(t3) == 7389, len(t3)

    # 4. JIS X 0212 (the two bytes after 8F) -> UTF-16
    t4 = {}
    for b1 in range(0xA1, 0xFF):
        for b2 in range(0xA1, 0xFF):
            u = decode(bytes([0x8F, b1, b2]), "euc_jp")
            if u is not None:
                t4[(b1 << 8) | b2] = u
    assert len(t4) == 6067, len(t4)
    assert t4[0xA2B7] == 0x007E and t4[0xA2C2] == 0x00A1

    # 5. UTF-16 -> EUC-JP
    t5 = {}
    for euc, u in t3.items():
        assert u not in t5
        t5[u] = euc
    both = 0
    for key in sorted(t4):
        u = t4[key]
        if u in t5:
            if t5[u] <= 0xFFFF:
                both += 1
            continue
        t5[u] = 0x8F0000 | key
    assert both == 280, both
    assert len(t5) == 13176, len(t5)

    # 6. IBM extension -> EUC-JP, 7. its inverse
    t6 = {}
    for code in sorted(c for c in t1 if sjis_class(c) == 4):
        other = t2[t1[code]]
        assert sjis_class(other) in (1, 2, 3)
        t6[code] = sjis_to_euc(other)
    assert len(t6) == 388
    assert t6[0xFA40] == 0xFCF1 and t6[0xFA58] == 0xADEA and t6[0xFA54] == 0xA2CC
    t7 = {euc: code for code, euc in t6.items()}
    assert len(t7) == 388

    return [
        ("sjis_cp932_to_unicode_table", t1),
        ("unicode_to_sjis_cp932_table", t2),
        ("euc_to_unicode_table", t3),
        ("euc_jisx0212_to_unicode_table", t4),
        ("unicode_to_euc_table", t5),
        ("sjis_ibm_to_euc_table", t6),
        ("euc_to_sjis_ibm_table", t7),
    ]


def emit(out, name, table):
    blocks = {}
    for key, value in table.items():
        assert 0 <= key <= 0xFFFF and value != 0
        blocks.setdefault(key >> 5, [0] * 32)[key & 31] = value
    block_ids = sorted(blocks)
    index = {b: i for i, b in enumerate(block_ids)}
    out.append(f"// {name}: {len(table)} entries")
    out.append(f"const std::uint32_t {name}_blocks[{len(block_ids)}][32] = {{")
    for b in block_ids:
        vals = blocks[b]
        out.append(f"  {{ // 0x{b << 5:04X}")
        for i in range(0, 32, 8):
            out.append("    " + ", ".join(f"0x{v:X}" for v in vals[i:i + 8]) + ",")
        out.append("  },")
    out.append("};")
    pages = sorted({b >> 3 for b in block_ids})
    page_index = {p: i for i, p in enumerate(pages)}
    out.append(f"const std::uint32_t* const {name}_pages[{len(pages)}][8] = {{")
    for p in pages:
        cells = []
        for s in range(8):
            b = (p << 3) | s
            cells.append(f"{name}_blocks[{index[b]}]" if b in index else "nullptr")
        out.append("  {" + ", ".join(cells) + "},")
    out.append("};")
    out.append(f"const std::uint32_t* const* const {name}_index[256] = {{")
    cells = [f"{name}_pages[{page_index[p]}]" if p in page_index else "nullptr"
             for p in range(256)]
    for i in range(0, 256, 4):
        out.append("  " + ", ".join(cells[i:i + 4]) + ",")
    out.append("};")
    out.append("")


def main():
    out = [
        "// Generated by tools/gen_babel_tables.py from Python's cp932 and euc_jp",
        "// codecs. Do not edit by hand; re-run the generator instead.",
        "#include \"babel/code_table.h\"",
        "",
        "#include <cstdint>",
        "",
        "namespace babel {",
        "namespace {",
        "",
    ]
    tables = build()
    for name, table in tables:
        emit(out, name, table)
    out.append("} // namespace")
    out.append("")
    for name, _ in tables:
        out.append(f"const code_table {name}({name}_index);")
    out.append("")
    out.append("} // namespace babel")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
