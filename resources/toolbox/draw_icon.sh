#!/usr/bin/env bash
# Draws the program icon (Veltrin.ico: 16, 20, 24, 32, 40, 48 and 256 pixels: the small and
# big icon sizes at 100, 125 and 150 %, and the large one) with ImageMagick: a
# rounded tile in the product's blue with a white toolbox and a document on it.
# The icon is kept in the repository; run this only to change it.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The 256-pixel master.
convert -size 256x256 gradient:'#4FA3FF-#1A56C9' -alpha set \
    \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8,247,247,52,52' \) \
    -compose DstIn -composite "$work/tile.png"
# A lighter band over the upper half gives the tile some depth.
convert -size 256x128 gradient:'rgba(255,255,255,0.30)-rgba(255,255,255,0)' -alpha set \
    \( -size 256x128 xc:none -fill white -draw 'roundrectangle 8,8,247,180,52,52' \) \
    -compose DstIn -composite "$work/gloss.png"
# The toolbox: handle, lid line, body and latch; a folded document stands out of it.
convert -size 256x256 xc:none \
    -fill none -stroke white -strokewidth 14 -draw 'roundrectangle 96,58,160,104,14,14' \
    -stroke none -fill '#FFFFFF' -draw 'polygon 132,40 186,40 206,60 206,130 132,130' \
    -fill '#CFE3FF' -draw 'polygon 186,40 206,60 186,60' \
    -fill '#1A56C9' -draw 'rectangle 146,64 190,72' -draw 'rectangle 146,82 190,90' \
    -fill white -draw 'roundrectangle 46,100 210,206 18,18' \
    -fill '#2E77E6' -draw 'rectangle 46,136 210,146' \
    -fill '#FFC93C' -draw 'roundrectangle 114,126 142,158 6,6' \
    "$work/glyph.png"
convert "$work/tile.png" "$work/gloss.png" -compose Over -composite \
    "$work/glyph.png" -compose Over -composite \
    \( +clone -background 'rgba(0,0,0,0.35)' -shadow 60x3+0+3 \) +swap \
    -background none -layers merge +repage -gravity center -extent 256x256 -depth 8 "PNG32:$work/icon256.png"

for size in 16 20 24 32 40 48; do
    convert "$work/icon256.png" -filter Lanczos -resize ${size}x${size} -unsharp 0x0.6 "PNG32:$work/icon$size.png"
done
convert "$work"/icon{16,20,24,32,40,48,256}.png "$here/Veltrin.ico"
cp "$work/icon256.png" "$here/icon_preview.png"
