#!/bin/sh
# Makes the movie fixtures of tests/data/video with ffmpeg, ImageMagick, libjpeg's tools and
# our ".mja" writer, together with what those tools decode (the oracles the tests compare with):
#   clips:  testsrc, 160x120, 10 fps, 1 s, in H.264, VP9 and MPEG-4; frames 0, 4 and 9 of each
#           as ffmpeg extracts them (bgra in PNG), and frame 4 scaled to 320x240 (rgb)
#   ".mja": JPEG frames and grey alpha JPEGs, with `djpeg -dct fast -nosmooth` of each
#   harness game: tests/data/harness/video (its movie, its ".mja", and a movie with a tone:
#           testsrc 64x48 at 10 fps for 1 s with a 1 kHz sine of amplitude 0.5, mono AAC at
#           22050 Hz, so that the sound is resampled and spread to stereo; and the same with a
#           tone of 0.5 s that starts 0.25 s after the first picture)
# Run from the repository root after a build (for kmja): tools/make-video-fixtures.sh [BUILD]
set -eu
build=${1:-build}
out=tests/data/video
game=tests/data/harness/video
mkdir -p "$out/clips" "$out/mja" "$game"
ff="ffmpeg -nostdin -hide_banner -loglevel error -y"
src="testsrc=size=160x120:rate=10:duration=1"

$ff -f lavfi -i "$src" -c:v libx264 -preset veryfast -pix_fmt yuv420p -bf 2 "$out/clips/h264.mp4"
$ff -f lavfi -i "$src" -c:v libvpx-vp9 -b:v 200k -deadline good -cpu-used 8 -pix_fmt yuv420p "$out/clips/vp9.webm"
$ff -f lavfi -i "$src" -c:v mpeg4 -q:v 4 -pix_fmt yuv420p "$out/clips/mpeg4.avi"
# 30 fps in a 1/15360 time base: pictures due at whole milliseconds (100, 200, ...).
$ff -f lavfi -i "testsrc=size=64x48:rate=30:duration=0.2" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
  "$out/clips/h264-30fps.mp4"
# No video stream at all.
$ff -f lavfi -i "sine=frequency=440:duration=0.1:sample_rate=8000" -c:a pcm_s16le "$out/clips/audio.wav"
for clip in h264.mp4 vp9.webm mpeg4.avi; do
  base=${clip%.*}
  for n in 0 4 9; do
    $ff -i "$out/clips/$clip" -vf "select=eq(n\,$n),format=bgra" -frames:v 1 "$out/clips/$base-$n.png"
  done
done
$ff -i "$out/clips/h264.mp4" -vf "select=eq(n\,4),format=rgb24,scale=320:240:flags=bilinear" -frames:v 1 \
  "$out/clips/h264-4-320x240.png"

m="$out/mja"
for n in 0 1 2 3; do
  convert -size 24x16 xc: -channel R -fx "((i+$n*5)%24)/23" -channel G -fx "j/15" -channel B -fx "$n/3" +channel \
    -strip -quality 90 -sampling-factor 2x2 "$m/f$n.jpg"
  convert -size 24x16 xc: -fx "((i*3+j*2+$n*40)%64)/63" -strip -colorspace Gray -quality 95 "$m/a$n.jpg"
  djpeg -dct fast -nosmooth -pnm -outfile "$m/f$n.ppm" "$m/f$n.jpg"
  djpeg -dct fast -nosmooth -pnm -outfile "$m/a$n.pgm" "$m/a$n.jpg"
done

# The harness game: a movie of one second and a looping ".mja" of four frames at 10 fps.
cp "$out/clips/h264.mp4" "$game/movie.mp4"
$ff -f lavfi -i "testsrc=size=64x48:rate=10:duration=1" -f lavfi -i "aevalsrc=0.5*sin(2*PI*1000*t):s=22050:d=1" \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 32k -ac 1 -shortest "$game/tone.mp4"
$ff -f lavfi -i "testsrc=size=64x48:rate=10:duration=1" -itsoffset 0.25 \
  -f lavfi -i "aevalsrc=0.5*sin(2*PI*1000*t):s=22050:d=0.5" \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 32k -ac 1 "$game/late-tone.mp4"
"$build/tools/kmja" -a 10 "$game/anim.mja" "$m/f0.jpg" "$m/a0.jpg" "$m/f1.jpg" "$m/a1.jpg" \
  "$m/f2.jpg" "$m/a2.jpg" "$m/f3.jpg" "$m/a3.jpg"
mkdir -p fuzz/corpus/mja
cp "$game/anim.mja" fuzz/corpus/mja/alpha.mja
"$build/tools/kmja" 25 fuzz/corpus/mja/plain.mja "$m/f0.jpg" "$m/f1.jpg"
