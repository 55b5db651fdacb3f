#!/bin/sh
# Regenerates the reference decodes of ../pngsuite with ImageMagick (needed
# only here, not by the tests). ImageMagick reads the samples as stored; the
# colourspace is set, not converted, so gAMA and cHRM change nothing. 16-bit
# samples are rounded to 8 bits (v * 255 / 65535, nearest), as the player does.
# Each reference is an 8-bit RGBA PNG without colour chunks.
set -e
cd "$(dirname "$0")"
for png in ../pngsuite/[!x]*.png; do
    name=$(basename "$png" .png)
    size=$(identify -format '%wx%h' "$png")
    convert "$png" -set colorspace sRGB -depth 16 rgba:- |
        python3 -c 'import sys, struct
data = sys.stdin.buffer.read()
samples = struct.unpack("<%dH" % (len(data) // 2), data)
sys.stdout.buffer.write(bytes((v * 255 + 32767) // 65535 for v in samples))' |
        convert -size "$size" -depth 8 rgba:- -strip -define png:compression-level=9 \
            "PNG32:$name.png"
done
