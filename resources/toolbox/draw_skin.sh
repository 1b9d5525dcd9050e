#!/usr/bin/env bash
# Draws the images of the skin archive (skin/images) with ImageMagick, each at 100 % and as
# the larger variants "name@150.png" and "name@200.png" that the skin library draws from at
# 150 % and 200 % (docs/skin-format.md). Glyphs are drawn at four times their size and
# scaled down, which gives smooth edges at every scale. The PNGs are kept in the repository;
# run this only to change them.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="$here/skin/images"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

BLUE='#1F62C2'
BRIGHT='#3A8BF0'

for percent in 100 150 200; do
# at N: a length of the 100 % image at this scale.
at() { echo $((($1 * percent + 50) / 100)); }
# file NAME: where the image of this scale goes.
file() { if [ "$percent" = 100 ]; then echo "$out/$1.png"; else echo "$out/$1@$percent.png"; fi; }
# size W H: "WxH" at this scale.
size() { echo "$(at "$1")x$(at "$2")"; }
scale=$(awk -v p="$percent" 'BEGIN { printf "%g,%g", p / 100, p / 100 }')

# ---- header: a blue band with soft light shapes towards the right --------------------
convert -size "$(size 84 800)" gradient:"$BLUE-$BRIGHT" -rotate -90 "$work/band.png"
convert -size "$(size 800 84)" xc:none \
    -fill 'rgba(255,255,255,0.07)' -draw "scale $scale circle 690,10 690,130" \
    -fill 'rgba(255,255,255,0.06)' -draw "scale $scale circle 770,84 770,164" \
    -fill 'rgba(255,255,255,0.05)' -draw "scale $scale circle 560,90 560,150" \
    -fill 'rgba(0,0,0,0.10)' -draw "rectangle 0,$(($(at 84) - $(at 1))) $(at 800),$(at 84)" "$work/shapes.png"
convert "$work/band.png" "$work/shapes.png" -compose Over -composite -depth 8 "PNG32:$(file header)"

# ---- logo: the program icon, small ------------------------------------------------------
convert "$here/Veltrin.ico[6]" -filter Lanczos -resize "$(size 26 26)" -depth 8 "PNG32:$(file logo)"
convert "$here/Veltrin.ico[6]" -filter Lanczos -resize "$(size 64 64)" -depth 8 "PNG32:$(file logo_large)"

# ---- caption buttons: white glyphs on 34x30 -------------------------------------------
caption_button() {
    local name=$1; shift
    convert -size 136x120 xc:none -fill none -stroke white -strokewidth 5 -draw "$*" \
        -filter Lanczos -resize "$(size 34 30)" -depth 8 "PNG32:$(file "$name")"
}
caption_button btn_min 'line 50,62 86,62'
caption_button btn_max 'rectangle 50,42 86,78'
caption_button btn_restore 'rectangle 50,50 78,78 polyline 58,50 58,42 86,42 86,70 78,70'
caption_button btn_close 'line 52,44 84,76 line 84,44 52,76'

# ---- navigation icons: 20x20, white for the band and blue for the selected tab -------
nav_icon() {
    local name=$1; shift
    for variant in white:"#FFFFFF" blue:"$BLUE"; do
        local tag=${variant%%:*} colour=${variant#*:}
        convert -size 80x80 xc:none -fill none -stroke "$colour" -strokewidth 7 -draw "$*" \
            -filter Lanczos -resize "$(size 20 20)" -depth 8 "PNG32:$work/nav_${name}_$tag.png"
    done
}
nav_icon home 'polyline 8,40 40,12 72,40 stroke-linejoin round polyline 18,34 18,70 62,70 62,34 rectangle 34,50 46,70'
nav_icon apps 'roundrectangle 8,8 34,34 5,5 roundrectangle 46,8 72,34 5,5 roundrectangle 8,46 34,72 5,5 roundrectangle 46,46 72,72 5,5'
nav_icon docs 'polyline 8,20 8,70 72,70 72,26 38,26 30,14 8,14 8,20 line 8,36 72,36'
nav_icon links 'circle 40,40 40,8 ellipse 40,40 14,32 0,360 line 8,40 72,40 line 14,24 66,24 line 14,56 66,56'
nav_icon portal 'polyline 62,44 62,70 10,70 10,18 36,18 line 40,40 70,10 polyline 48,10 70,10 70,32'

# The selected tab: a rounded-top sheet in the page colour, the blue icon on it.
convert -size 448x176 xc:none -fill '#F4F6F9' -draw 'roundrectangle 0,0 447,220 28,28' \
    -filter Lanczos -resize "$(size 112 44)" "$work/tab.png"
for name in home apps docs links; do
    convert "$work/tab.png" "$work/nav_${name}_blue.png" -geometry "+$(at 18)+$(at 13)" -compose Over -composite \
        -depth 8 "PNG32:$(file "tab_${name}_sel")"
    cp "$work/nav_${name}_white.png" "$(file "nav_$name")"
done
cp "$work/nav_portal_white.png" "$(file nav_portal)"

# ---- page tool icons ----------------------------------------------------------------------
convert -size 64x64 xc:none -fill none -stroke white -strokewidth 6 \
    -draw 'arc 10,10 54,54 -60,250' -stroke none -fill white -draw 'polygon 40,4 58,14 40,24' \
    -filter Lanczos -resize "$(size 16 16)" -depth 8 "PNG32:$(file refresh)"
convert -size 72x72 xc:none -stroke none -fill "$BRIGHT" -draw 'roundrectangle 0,8 72,64 12,12' \
    -fill white -draw 'polygon 24,20 52,36 24,52' -filter Lanczos -resize "$(size 18 18)" -depth 8 \
    "PNG32:$(file page_soft)"
convert -size 72x72 xc:none -stroke none -fill '#F0B429' -draw 'roundrectangle 0,6 34,22 6,6' \
    -draw 'roundrectangle 0,12 72,66 8,8' -fill '#FFD86B' -draw 'roundrectangle 0,24 72,66 8,8' \
    -filter Lanczos -resize "$(size 18 18)" -depth 8 "PNG32:$(file page_docs)"

# ---- computer examination: a green shield with a tick --------------------------------
convert -size 64x64 xc:none -stroke none -fill '#1EA96A' \
    -draw 'path "M 32,2 L 58,12 L 58,30 C 58,46 46,56 32,62 C 18,56 6,46 6,30 L 6,12 Z"' \
    -fill none -stroke white -strokewidth 6 -draw 'polyline 20,32 29,41 45,24' \
    -filter Lanczos -resize "$(size 16 16)" -depth 8 "PNG32:$(file shield)"

# ---- announcement window: title band and bell ----------------------------------------
convert -size "$(size 32 260)" gradient:"$BLUE-$BRIGHT" -rotate -90 \
    \( -size "$(size 260 32)" xc:none -fill 'rgba(255,255,255,0.08)' -draw "scale $scale circle 230,4 230,40" \) \
    -compose Over -composite -depth 8 "PNG32:$(file gg_title)"
convert -size 64x64 xc:none -stroke none -fill white \
    -draw 'path "M 32,6 C 18,6 14,18 14,28 L 14,40 L 8,48 L 56,48 L 50,40 L 50,28 C 50,18 46,6 32,6 Z"' \
    -draw 'circle 32,54 32,60' -filter Lanczos -resize "$(size 16 16)" -depth 8 "PNG32:$(file bell)"
convert -size 192x192 xc:none -stroke none -fill '#EAF2FE' -draw 'circle 96,96 96,4' \
    -fill "$BRIGHT" \
    -draw 'path "M 96,40 C 68,40 60,64 60,84 L 60,108 L 48,124 L 144,124 L 132,108 L 132,84 C 132,64 124,40 96,40 Z"' \
    -draw 'circle 96,136 96,148' -filter Lanczos -resize "$(size 48 48)" -depth 8 "PNG32:$(file bell_large)"
done
