#!/usr/bin/env bash
# Installs every Debian package Kestrin needs to build, run and test.
# Idempotent: when everything is present it does nothing and prints nothing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-aarch64-linux-gnu
  # engine libraries
  libsdl2-dev libfreetype-dev libfontconfig-dev libdbus-1-dev libx11-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libpng-dev libjpeg62-turbo-dev zlib1g-dev libogg-dev libvorbis-dev
  liblua5.1-0-dev libboost-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core
  # headless display and GL for tests
  xvfb xauth x11-utils xdotool openbox libgl1-mesa-dri libegl1 libegl-mesa0
  # reference tools used by tests and table generators
  imagemagick libjpeg-turbo-progs openssl coreutils python3 lua5.1 sox vorbis-tools ffmpeg
  python3-freetype python3-fonttools
  # a private session bus, the IBus daemon and what our test engine is written with
  dbus-daemon ibus python3-gi gir1.2-ibus-1.0
  # servers and a reference client of the network tests and benchmark
  nginx-light curl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${#missing[@]} package(s): ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
