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

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
background 1 "$tmp/background.jpg"
background 2 "$tmp/background@2x.jpg"

# The icon: a white-green-red tricolour waving on an olive pole, drawn once at 256 px. The 16 and
# 32 px images are reduced to 16 colours and stored as 4-bit images with a transparency mask; the
# 48 px one keeps its alpha (32-bit), and the 256 px one is stored as a PNG, for high DPI.
"$IM" -size 192x116 xc:none \
  -fill '#ffffff' -draw 'rectangle 0,0 191,39' \
  -fill '#00966e' -draw 'rectangle 0,38 191,77' \
  -fill '#d62612' -draw 'rectangle 0,76 191,115' \
  -stroke '#7d7d7d' -strokewidth 2 -fill none -draw 'rectangle 1,1 190,114' \
  -background none -wave 14x140 "$tmp/cloth.png"
"$IM" -size 256x256 xc:none \
  -fill '#6b6b1e' -draw 'rectangle 28,20 45,249' \
  -fill '#8a8a2a' -draw 'circle 36,18 36,6' \
  "$tmp/cloth.png" -geometry +46+16 -composite -strip -define png:compression-level=9 \
  "png32:$tmp/icon256.png"
for n in 16 32; do
  "$IM" "$tmp/icon256.png" -resize ${n}x${n} -channel A -threshold 50% +channel \
    -colors 15 -strip "$tmp/icon$n.png"
done
"$IM" "$tmp/icon256.png" -resize 48x48 -strip "png32:$tmp/icon48.png"
icotool -c -o "$tmp/kavo.ico" -b 4 "$tmp/icon16.png" -b 4 "$tmp/icon32.png" \
  -b 32 "$tmp/icon48.png" -r "$tmp/icon256.png"
# Into place only when all of them are made.
mv "$tmp/background.jpg" "$tmp/background@2x.jpg" "$tmp/kavo.ico" .
