#!/bin/sh
# Makes the sound fixtures of tests/data/sound with sox and oggenc. The tests decode them
# again with sox (WAVE) and oggdec -R (Ogg Vorbis) and compare the PCM byte for byte.
# Run from the repository root: tools/make-sound-fixtures.sh
set -eu
out=tests/data/sound
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# -R: repeatable output; -D: no dither.
sx="sox -R -D"

# WAVE: 8-bit unsigned mono, 16-bit stereo, 24-bit mono, 24-bit stereo in an extensible header.
$sx -r 8000 -n -r 8000 -c 1 -b 8 -e unsigned-integer -t wavpcm "$out/pcm8_mono.wav" synth 0.02 sine 440 vol 0.7
$sx -r 11025 -n -r 11025 -c 2 -b 16 -t wavpcm "$out/pcm16_stereo.wav" synth 0.02 sine 440 sine 660 vol 0.7
$sx -r 16000 -n -r 16000 -c 1 -b 24 -t wavpcm "$out/pcm24_mono.wav" synth 0.01 sine 1000 vol 0.7
$sx -r 16000 -n -r 16000 -c 2 -b 24 -t wav "$out/ext24_stereo.wav" synth 0.01 sine 1000 sine 1500 vol 0.7
# Odd-sized chunks: an odd data chunk (with its pad byte), and odd chunks of our own before
# "fmt " and between "fmt " and "data", each followed by its pad byte.
$sx -r 8000 -n -r 8000 -c 1 -b 8 -e unsigned-integer -t wavpcm "$tmp/odd.wav" synth 161s sine 300 vol 0.7
python3 - "$tmp/odd.wav" "$out/odd_chunks.wav" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
chunks, pos = [], 12
while pos + 8 <= len(data):
    cid, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
    chunks.append((cid, data[pos + 8:pos + 8 + size]))
    pos += 8 + size + (size & 1)
def chunk(cid, body):
    return cid + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')
body = chunk(b'junk', b'abc')
for cid, payload in chunks:
    body += chunk(cid, payload)
    if cid == b'fmt ':
        body += chunk(b'note', b'hello')
open(sys.argv[2], 'wb').write(b'RIFF' + struct.pack('<I', 4 + len(body)) + b'WAVE' + body)
PY
# An intro and its loop as WAVE.
$sx -r 11025 -n -r 11025 -c 2 -b 16 -t wavpcm "$out/intro.wav" synth 0.03 sine 500 vol 0.5
$sx -r 11025 -n -r 11025 -c 2 -b 16 -t wavpcm "$out/loop.wav" synth 0.04 sine 700 vol 0.6

# Ogg Vorbis: an intro and its loop, and a mono file at another rate. Fixed serial numbers
# keep the files reproducible.
$sx -r 22050 -n -r 22050 -c 2 -b 16 "$tmp/a.wav" synth 0.3 sine 440 sine 550 vol 0.5
$sx -r 22050 -n -r 22050 -c 2 -b 16 "$tmp/b.wav" synth 0.45 sine 660 sine 330 vol 0.6
$sx -r 11025 -n -r 11025 -c 1 -b 16 "$tmp/m.wav" synth 0.2 sine 800 vol 0.6
oggenc -Q -q 0 --serial 101 -o "$out/intro.ogg" "$tmp/a.wav"
oggenc -Q -q 0 --serial 102 -o "$out/loop.ogg" "$tmp/b.wav"
oggenc -Q -q 0 --serial 103 -o "$out/mono.ogg" "$tmp/m.wav"
