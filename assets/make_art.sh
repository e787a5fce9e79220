#!/usr/bin/env bash
# Draws Kavo's art with ImageMagick: the window background at 1x and 2x, and the icon (packed by
# icotool, of Debian's icoutils). The outputs are committed; run this again only when the art
# changes.
set -euo pipefail
cd "$(dirname "$0")"
IM=${IM:-convert}
font=${KAVO_ART_FONT:-DejaVu-Sans-Bold}

# background S OUT: the 249 x 105 skin drawn at S times its size.
background() {
  local s=$1 out=$2
  local w=$((249 * s)) h=$((105 * s))
  # The grey panel, leaving a red frame that is thicker down the right-hand edge.
  local px0=$((7 * s)) py0=$((7 * s)) px1=$((227 * s)) py1=$((97 * s))
  "$IM" -size ${w}x${h} xc:'#2b0606' \
    -fill '#cf4b3c' -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $((9 * s)),$((9 * s))" \
    -fill '#560b0b' -draw "roundrectangle $((2 * s)),$((2 * s)) $((w - 1)),$((h - 1)) $((9 * s)),$((9 * s))" \
    -fill '#8f1c1c' -draw "roundrectangle $((2 * s)),$((2 * s)) $((w - 1 - 2 * s)),$((h - 1 - 2 * s)) $((8 * s)),$((8 * s))" \
    -fill '#560b0b' -draw "roundrectangle $((px0 - s)),$((py0 - s)) $px1,$py1 $((5 * s)),$((5 * s))" \
    -fill '#d9675a' -draw "roundrectangle $px0,$py0 $((px1 + s)),$((py1 + s)) $((5 * s)),$((5 * s))" \
    -fill '#eae7e2' -draw "roundrectangle $px0,$py0 $px1,$py1 $((5 * s)),$((5 * s))" \
    -font "$font" -pointsize $((15 * s)) -fill '#8f1c1c' -gravity NorthWest \
    -annotate +$((14 * s))+$((12 * s)) 'Kavo' \
    -font "$font" -pointsize $((7 * s)) -fill '#7a7268' \
    -annotate +$((66 * s))+$((20 * s)) 'адрес на страница → видео файл' \
    -strip -quality 92 -sampling-factor 1x1 "$out"
}

background 1 background.jpg
background 2 background@2x.jpg

# The icon: a white-green-red tricolour waving on an olive pole, drawn large and reduced to
# 16 colours at each size, stored as 4-bit images with a transparency mask.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$IM" -size 96x58 xc:none \
  -fill '#ffffff' -draw 'rectangle 0,0 95,19' \
  -fill '#00966e' -draw 'rectangle 0,19 95,38' \
  -fill '#d62612' -draw 'rectangle 0,38 95,57' \
  -stroke '#7d7d7d' -strokewidth 1 -fill none -draw 'rectangle 0,0 95,57' \
  -background none -wave 7x70 "$tmp/cloth.png"
"$IM" -size 128x128 xc:none \
  -fill '#6b6b1e' -draw 'rectangle 14,10 22,124' \
  -fill '#8a8a2a' -draw 'circle 18,9 18,3' \
  "$tmp/cloth.png" -geometry +23+8 -composite "$tmp/flag.png"
for n in 16 32; do
  "$IM" "$tmp/flag.png" -resize ${n}x${n} -channel A -threshold 50% +channel \
    -colors 15 -strip "$tmp/icon$n.png"
done
icotool -c -o kavo.ico -b 4 "$tmp/icon16.png" -b 4 "$tmp/icon32.png"
