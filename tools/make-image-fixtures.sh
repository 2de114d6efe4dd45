#!/bin/sh
# Makes the image fixtures of tests/data/graphics with ImageMagick and libjpeg's tools,
# together with the pixels those tools decode (the oracles the loader tests compare with):
#   PNG:  convert x.png bgra:-          -> x.bgra
#   JPEG: djpeg -dct fast -nosmooth     -> x.ppm / x.pgm
# Run from the repository root: tools/make-image-fixtures.sh
set -eu
out=tests/data/graphics
mkdir -p "$out/png" "$out/jpeg"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
plain="-strip"

convert -size 13x9 xc: -channel R -fx "i/12" -channel G -fx "j/8" -channel B -fx "((i*j)%7)/6" +channel \
  -depth 8 -define png:color-type=2 "$tmp/rgb.png"
convert -size 13x9 xc: -alpha on -channel R -fx "(i*j%13)/12" -channel G -fx "j/8" -channel B -fx "((i+j)%5)/4" \
  -channel A -fx "((i*3+j*5)%11)/10" +channel -depth 8 -define png:color-type=6 "$tmp/rgba.png"

p="$out/png"
convert "$tmp/rgb.png" $plain -define png:color-type=2 -define png:bit-depth=8 PNG24:"$p/rgb.png"
convert "$tmp/rgba.png" $plain -define png:color-type=6 PNG32:"$p/rgba.png"
convert "$tmp/rgb.png" $plain -colorspace Gray -define png:color-type=0 -define png:bit-depth=8 "$p/grey.png"
convert "$tmp/rgba.png" $plain -interlace PNG -define png:color-type=6 PNG32:"$p/interlaced.png"
convert "$tmp/rgb.png" $plain -colors 8 PNG8:"$p/palette.png"
convert "$tmp/rgb.png" $plain PNG48:"$p/rgb16.png"
convert "$tmp/rgb.png" $plain -colorspace Gray -alpha on -channel A -fx "i/12" +channel \
  -define png:color-type=4 -define png:bit-depth=8 "$p/greyalpha.png"
# As ImageMagick writes a gradient and flat colours by default: 16-bit grey, 1-bit grey, 1-bit palette.
convert -size 13x9 gradient: $plain "$p/gradient.png"
convert -size 13x9 xc:white $plain "$p/flat.png"
convert -size 13x9 xc:red $plain "$p/flatred.png"
for f in rgb rgba grey interlaced; do convert "$p/$f.png" bgra:- > "$p/$f.bgra"; done

j="$out/jpeg"
convert -size 37x29 xc: -channel R -fx "i/36" -channel G -fx "j/28" -channel B -fx "((i*j)%9)/8" +channel \
  -depth 8 "$tmp/photo.ppm"
convert "$tmp/photo.ppm" $plain -quality 85 -sampling-factor 2x2 "$j/color.jpg"
convert "$tmp/photo.ppm" $plain -quality 90 -sampling-factor 1x1 -interlace JPEG "$j/progressive.jpg"
convert "$tmp/photo.ppm" $plain -colorspace Gray -quality 90 "$j/grey.jpg"
convert -size 37x29 xc: -fx "((i*7+j*3)%17)/16" $plain -colorspace Gray -quality 95 "$j/mask.jpg"
convert -size 37x20 xc: -fx "i/36" $plain -colorspace Gray -quality 95 "$j/mask_short.jpg"
convert -size 40x29 xc: -fx "j/28" $plain -colorspace Gray -quality 95 "$j/mask_wide.jpg"
convert -size 37x40 xc: -fx "(i+j)/76" $plain -colorspace Gray -quality 95 "$j/mask_tall.jpg"
convert "$tmp/photo.ppm" $plain -colorspace CMYK -quality 90 "$j/cmyk.jpg"
for f in color progressive; do djpeg -dct fast -nosmooth -pnm -outfile "$j/$f.ppm" "$j/$f.jpg"; done
for f in grey mask mask_tall; do djpeg -dct fast -nosmooth -pnm -outfile "$j/$f.pgm" "$j/$f.jpg"; done
