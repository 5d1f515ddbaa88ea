#!/usr/bin/env bash
# Writes the GIF files the decoder is compared on against giflib, made by
# another encoder (ImageMagick) in the layouts the program's own pictures do
# not use: interlacing, local colour tables, 1- to 8-bit colour,
# transparency, frames at offsets, many frames, and one large animation.
# The content is deterministic (fixed plasma seeds).
#   make_reference_gifs.sh OUTPUT_DIR
set -euo pipefail
out=${1:?usage: make_reference_gifs.sh OUTPUT_DIR}
# The real ImageMagick, not some other "convert" earlier on the PATH.
convert=${MRWD_CONVERT:-/usr/bin/convert}
mkdir -p "$out"
# One thread each: the pictures are small, and threads only cost time here.
export MAGICK_THREAD_LIMIT=1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$convert" -seed 11 -size 97x61 plasma:fractal "$tmp/plasma.png"
"$convert" -seed 23 -size 320x240 plasma:fractal "$tmp/large.png"

# Colour tables of every size from 2 to 256 entries.
for bits in 1 2 3 4 5 6 7 8; do
  "$convert" "$tmp/plasma.png" -colors $((1 << bits)) "$out/colours-$bits.gif"
done

# Interlaced, with a height that is not a multiple of 8, at two depths.
"$convert" "$tmp/plasma.png" -colors 256 -interlace GIF "$out/interlaced-8.gif"
"$convert" "$tmp/plasma.png" -colors 4 -interlace GIF "$out/interlaced-2.gif"

# Frames with palettes of their own (local tables of 2, 16 and 64 entries).
"$convert" -delay 20 \( "$tmp/plasma.png" -colors 256 \) \( "$tmp/plasma.png" -flip -colors 2 \) \
  \( "$tmp/plasma.png" -flop -colors 16 \) \( "$tmp/plasma.png" -negate -colors 64 \) "$out/local-tables.gif"

# Transparency, and smaller frames placed at offsets on the screen.
"$convert" -size 50x40 xc:none -fill red -draw 'circle 25,20 25,6' -fill blue -draw 'rectangle 3,3 12,30' \
  "$out/transparent.gif"
"$convert" -dispose none -delay 10 \( "$tmp/plasma.png" -resize 64x48\! -colors 32 -repage 64x48+0+0 \) \
  \( -size 20x10 xc:blue -repage +13+7 \) \( -size 9x17 xc:yellow -repage +40+30 \) "$out/offsets.gif"

# Many frames: the picture rolled sideways a little more each time.
for i in $(seq -w 0 39); do
  "$convert" "$tmp/plasma.png" -resize 48x36\! -roll +$((10#$i * 2))+0 "$tmp/many-$i.png"
done
"$convert" -delay 4 -loop 0 "$tmp"/many-*.png "$out/many-frames.gif"

# A large animation, also used to time the decoder.
for i in $(seq -w 0 23); do
  "$convert" "$tmp/large.png" -roll +$((10#$i * 13))+$((10#$i * 5)) "$tmp/large-$i.png"
done
"$convert" -delay 4 -loop 0 "$tmp"/large-*.png "$out/large-animation.gif"
