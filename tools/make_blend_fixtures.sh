#!/bin/sh
# Regenerates tests/data/graphics/blend: a 16x16 target, two 16x16 sources (opaque and with alpha)
# and ImageMagick's composition of each layer mode, as raw BGRA bytes. Run from the repository root.
set -e
out=tests/data/graphics/blend
mkdir -p "$out"
python3 - "$out" <<'PY'
import sys
out = sys.argv[1]
def write(name, fn):
    with open(f"{out}/{name}", "wb") as f:
        for y in range(16):
            for x in range(16):
                f.write(bytes(fn(x, y)))
alphas = [0, 1, 2, 64, 127, 128, 129, 200, 254, 255]
# Target: opaque, every channel sweeps its range.
write("dst.bgra", lambda x, y: (x * 17, y * 17, (x * y * 7 + 31) & 255, 255))
# Opaque source; pixel (3, 5) and (10, 12) carry the colour key 0xFF00FF.
def src_opaque(x, y):
    if (x, y) in ((3, 5), (10, 12)):
        return (255, 0, 255, 255)
    return ((255 - y * 17), (x * 29 + y * 3) & 255, (x * 17), 255)
write("src_opaque.bgra", src_opaque)
def src_alpha(x, y):
    b, g, r, _ = src_opaque(x, y)
    return (b, g, r, alphas[(x + y * 3) % len(alphas)])
write("src_alpha.bgra", src_alpha)
PY
raw="-size 16x16 -depth 8"
compose() {  # compose <name> <operator> <source> [alpha ops...]
    name=$1; op=$2; src=$3; shift 3
    convert $raw "bgra:$out/dst.bgra" \( $raw "bgra:$out/$src" "$@" \) \
        -compose "$op" -composite -depth 8 "bgra:$out/$name.bgra"
}
for mode in Over:normal LinearDodge:add Multiply:multiply Screen:screen; do
    op=${mode%%:*}; n=${mode#*:}
    compose "${n}" "$op" src_opaque.bgra
    compose "${n}_opacity" "$op" src_opaque.bgra -channel A -evaluate set 40% +channel
    compose "${n}_alpha" "$op" src_alpha.bgra
    compose "${n}_alpha_opacity" "$op" src_alpha.bgra -channel A -evaluate multiply 0.4 +channel
done
# Colour key: the key colour is left out, the source alpha is ignored.
compose colorkey Over src_alpha.bgra -alpha off -transparent "#FF00FF"
compose colorkey_opacity Over src_alpha.bgra -alpha off -transparent "#FF00FF" -channel A -evaluate multiply 0.4 +channel
