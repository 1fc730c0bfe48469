#!/bin/sh
# Builds the artwork generator in a temporary folder and rewrites resources/images/ with it.
set -e
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -fPIC "$here/GenerateArtwork.cpp" -o "$work/generate-artwork" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/generate-artwork" "$here/../images"
