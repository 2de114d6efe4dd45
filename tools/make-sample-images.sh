#!/bin/sh
# Makes the pictures of the sample game (sample/image) with ImageMagick: two backgrounds,
# three sprites with alpha, an 8-bit grey rule image for the wipe transition, and the
# controls panel's button, meter and slider, the story's message window and click-wait icon,
# the right-click menu and the backlog's backdrop.
# Run from the repository root: tools/make-sample-images.sh
set -eu
out=sample/image
mkdir -p "$out"
plain="-strip -define png:exclude-chunks=date,time"

# Backgrounds, 640 x 480: a day sky over a meadow, and an evening sky over water.
convert -size 640x320 gradient:'#3a7bd5-#bfe3ff' \( -size 640x160 gradient:'#5fa83a-#2f6b1c' \) -append \
  -fill '#ffffffa0' -draw 'ellipse 140 90 70 22 0 360' -draw 'ellipse 470 60 90 26 0 360' \
  $plain -define png:color-type=2 PNG24:"$out/day.png"
convert -size 640x300 gradient:'#2b1055-#ff7e5f' \( -size 640x180 gradient:'#1e3c72-#0b1a33' \) -append \
  -fill '#ffd27f' -draw 'circle 320 300 320 250' \
  $plain -define png:color-type=2 PNG24:"$out/evening.png"

# Sprites with soft alpha edges.
convert -size 64x64 xc:none -fill '#ffd700' -stroke '#b8860b' -strokewidth 3 \
  -draw 'polygon 32,3 40,24 62,24 44,38 51,60 32,47 13,60 20,38 2,24 24,24' \
  $plain -define png:color-type=6 PNG32:"$out/star.png"
convert -size 48x48 xc:none -fill '#e53935' -draw 'circle 24 24 24 2' \
  -fill '#ffffffb0' -draw 'circle 17 16 17 10' \
  $plain -define png:color-type=6 PNG32:"$out/ball.png"
convert -size 80x80 xc:none -fill '#43a047c0' -stroke '#1b5e20' -strokewidth 4 -draw 'roundrectangle 4,4 75,75 12,12' \
  $plain -define png:color-type=6 PNG32:"$out/box.png"

# Rule image: a diagonal ramp, so the wipe sweeps from the top left to the bottom right.
convert -size 640x480 xc: -fx '(i/639*0.6 + j/479*0.4)' \
  $plain -colorspace Gray -depth 8 -define png:color-type=0 -define png:bit-depth=8 "$out/rule.png"

# Controls panel: a button with a check mark, a meter bar, and a slider's track and knob.
convert -size 160x56 xc:none -fill '#2e7d32' -stroke '#a5d6a7' -strokewidth 4 -draw 'roundrectangle 3,3 156,52 14,14' \
  -stroke '#ffffff' -strokewidth 7 -draw 'line 60,28 74,42' -draw 'line 74,42 100,14' \
  $plain -define png:color-type=6 PNG32:"$out/button.png"
convert -size 12x240 gradient:'#ffca28-#ef6c00' -rotate -90 \
  $plain -define png:color-type=2 PNG24:"$out/meter.png"
convert -size 240x24 xc:none -fill '#37474f' -stroke '#cfd8dc' -strokewidth 2 -draw 'roundrectangle 1,8 238,15 4,4' \
  $plain -define png:color-type=6 PNG32:"$out/track.png"
convert -size 24x24 xc:none -fill '#fafafa' -stroke '#607d8b' -strokewidth 3 -draw 'circle 12,12 12,2' \
  $plain -define png:color-type=6 PNG32:"$out/knob.png"

# The story's message window (translucent, rounded) and its click-wait icon (a small
# downward triangle).
convert -size 600x130 xc:none -fill '#10183080' -stroke '#d0d8ff' -strokewidth 3 \
  -draw 'roundrectangle 2,2 597,127 16,16' \
  $plain -define png:color-type=6 PNG32:"$out/window.png"
convert -size 16x16 xc:none -fill '#ffe082' -draw 'polygon 1,3 15,3 8,14' \
  $plain -define png:color-type=6 PNG32:"$out/wait.png"

# The right-click menu: a panel with its two buttons, labelled "セーブ" (save) and "ロード"
# (load), and a hint that a right click closes it.
convert -size 260x200 xc:none -fill '#0a0f24d0' -stroke '#d0d8ff' -strokewidth 2 \
  -draw 'roundrectangle 1,1 258,198 16,16' \
  -font IPAGothic -pointsize 13 -fill '#b0bce8' -stroke none -gravity south -annotate +0+12 '右クリックで閉じる' \
  $plain -define png:color-type=6 PNG32:"$out/panel.png"
for item in save:セーブ load:ロード; do
  convert -size 200x56 xc:none -fill '#1b2a5c' -stroke '#d0d8ff' -strokewidth 3 \
    -draw 'roundrectangle 2,2 197,53 14,14' \
    -font IPAGothic -pointsize 26 -fill '#ffffff' -stroke none -gravity center -annotate +0+1 "${item#*:}" \
    $plain -define png:color-type=6 PNG32:"$out/menu_${item%%:*}.png"
done

# The backlog's backdrop: a dark page with its heading "バックログ" and a rule under it, over
# which the pages read back are set apart from the story's window.
convert -size 640x480 gradient:'#14203f-#070b18' \
  -font IPAGothic -pointsize 22 -fill '#c9d3ff' -annotate +40+48 'バックログ' \
  -stroke '#5a6aa0' -strokewidth 2 -draw 'line 40,62 600,62' \
  -stroke none -fill '#8090c0' -pointsize 14 -gravity southeast -annotate +24+16 'ホイール: 前後のページ' \
  $plain -define png:color-type=2 PNG24:"$out/backdrop.png"
