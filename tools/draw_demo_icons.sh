#!/usr/bin/env bash
# Draws the 64x64 icons of the sample software catalogue (tools/demo_content/icons) with
# ImageMagick: a rounded tile in a two-colour gradient with one white glyph and a soft
# shadow. The PNGs are kept in the repository; run this only to change them.
set -euo pipefail

out="$(cd "$(dirname "$0")" && pwd)/demo_content/icons"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
mkdir -p "$out"

# icon FILE GLYPH TOP-COLOUR BOTTOM-COLOUR
icon() {
    local file=$1 glyph=$2 top=$3 bottom=$4 work
    work=$(mktemp -d)
    convert -size 60x60 "gradient:$top-$bottom" -alpha set \
        \( -size 60x60 xc:none -fill white -draw 'roundrectangle 0,0,59,59,13,13' \) \
        -compose DstIn -composite "$work/tile.png"
    # A lighter band across the top half gives the tile some depth.
    convert -size 60x30 gradient:'rgba(255,255,255,0.28)-rgba(255,255,255,0)' -alpha set \
        \( -size 60x30 xc:none -fill white -draw 'roundrectangle 0,0,59,44,13,13' \) \
        -compose DstIn -composite "$work/gloss.png"
    convert "$work/tile.png" "$work/gloss.png" -compose Over -composite \
        -font "$font" -pointsize 30 -gravity center \
        -fill 'rgba(0,0,0,0.25)' -annotate +1+2 "$glyph" \
        -fill white -annotate +0+0 "$glyph" "$work/face.png"
    convert "$work/face.png" \( +clone -background 'rgba(0,0,0,0.45)' -shadow 60x1.5+0+1 \) \
        +swap -background none -layers merge +repage \
        -gravity center -extent 64x64 -depth 8 -strip "PNG32:$out/$file"
    rm -rf "$work"
}

icon kaipiao.png   票 '#4f9dff' '#1c5fd1'
icon shuikong.png  税 '#ff6b6b' '#c92a2a'
icon chayan.png    验 '#3ddc97' '#0f9d63'
icon dianziju.png  局 '#ffb347' '#e8590c'
icon geshui.png    个 '#b197fc' '#6741d9'
icon yuancheng.png 助 '#38d9d9' '#0b7285'
icon zhengshu.png  证 '#748ffc' '#364fc7'
icon baobiao.png   表 '#d8a47f' '#8a5a33'
icon yuedu.png     阅 '#ff8787' '#a61e4d'
icon shenbao.png   申 '#ffd43b' '#e67700'
icon caiwu.png     账 '#4dabf7' '#1864ab'
icon beifen.png    备 '#f783ac' '#c2255c'
