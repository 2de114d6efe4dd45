#!/bin/sh
# Makes the sample game's sounds (sample/sound) with sox and oggenc: background music in two
# files, an intro ("theme_a") that the engine continues into its loop ("theme_b"), and a
# chime for a sound effect. Run from the repository root: tools/make-sample-sounds.sh
set -eu
out=sample/sound
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# -R: repeatable output (the pluck is noise-driven); -D: no dither.
sx="sox -R -D"

# One plucked note of 0.5 s, 22050 Hz mono; pitches in semitones from A4 (%0 = 440 Hz).
note() {
    $sx -n -r 22050 -c 1 -b 16 "$tmp/$1.wav" synth 0.5 pluck "%$2" vol 0.5
}
i=0
part() {
    name=$1
    shift
    files=""
    for pitch in "$@"; do
        i=$((i + 1))
        note "n$i" "$pitch"
        files="$files $tmp/n$i.wav"
    done
    # shellcheck disable=SC2086
    $sx $files "$tmp/$name.wav"
}
# Intro: 2 s rising; loop: 6 s of three broken chords (C, A minor, F, G).
part intro -9 -5 -2 3
part loop -9 -5 -2 -5 -12 -9 -5 -9 -16 -12 -9 -12

$sx -n -r 22050 -c 1 -b 16 "$tmp/chime.wav" synth 0.8 sine 1318.5 sine 1975.5 remix - fade 0 0.8 0.7 vol 0.4

oggenc -Q -q -1 --serial 201 -o "$out/theme_a.ogg" "$tmp/intro.wav"
oggenc -Q -q -1 --serial 202 -o "$out/theme_b.ogg" "$tmp/loop.wav"
oggenc -Q -q -1 --serial 203 -o "$out/chime.ogg" "$tmp/chime.wav"
