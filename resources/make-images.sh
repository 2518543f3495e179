#!/usr/bin/env bash
# Draws the toolbar pictures and the two program icons with ImageMagick.
#   make-images.sh IMAGES_DIR ICON_DIR
# IMAGES_DIR gets the 15 toolbar bitmaps (90 x 60, BMP3, 24 bits per pixel: the
# form every Windows version loads from a file); ICON_DIR gets vellum.ico (48, 32
# and 16 pixels) and small.ico (16 pixels) for the resource script.
# Each picture is a symbol of what its button does above a short label.
# CONVERT names the ImageMagick program (default: convert on the PATH);
# LABEL_FONT a TrueType file for the labels (default: Wine's Tahoma Bold, else
# the system's bold sans-serif).
set -euo pipefail
IMAGES=$1
ICONS=$2
IM=${CONVERT:-convert}
mkdir -p "$IMAGES" "$ICONS"

FONT=${LABEL_FONT:-}
if [ -z "$FONT" ]; then
  for f in /usr/share/wine/fonts/tahomabd.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf; do
    [ -f "$f" ] && { FONT=$f; break; }
  done
fi
if [ -z "$FONT" ] && command -v fc-match >/dev/null; then FONT=$(fc-match -f '%{file}' 'sans:bold'); fi
[ -n "$FONT" ] && [ -f "$FONT" ] || { echo "make-images.sh: no TrueType font for the labels" >&2; exit 1; }

INK='#1d2b3a'
PAPER='gradient:#fbf8ef-#dcd4bf'

# button NAME BACKGROUND LABEL [DRAW ARGUMENTS...]: one 90 x 60 toolbar bitmap.
button() {
  local name=$1 background=$2 label=$3
  shift 3
  "$IM" -size 90x60 "$background" \
    -stroke "$INK" -strokewidth 1 "$@" \
    -stroke none -fill "$INK" -font "$FONT" -pointsize 12 -gravity south -annotate +0+3 "$label" \
    -fill none -stroke '#8c8470' -strokewidth 1 -gravity northwest -draw 'rectangle 0,0 89,59' \
    -type TrueColor "BMP3:$IMAGES/$name.bmp"
}

# An open tray (the archive) that the arrows go into or come out of.
TRAY=(-fill '#c9a66b' -draw 'polygon 22,24 30,36 60,36 68,24 60,24 56,31 34,31 30,24')

button compress "$PAPER" "Compress" "${TRAY[@]}" \
  -fill '#2f7d32' -draw 'rectangle 41,3 49,16' -draw 'polygon 34,15 56,15 45,28'
button extract "$PAPER" "Extract" "${TRAY[@]}" \
  -fill '#1f5fbf' -draw 'rectangle 41,14 49,27' -draw 'polygon 34,15 56,15 45,2'
button delete "$PAPER" "Delete" \
  -fill '#fff7f0' -draw 'rectangle 31,8 59,34' \
  -stroke '#c62828' -strokewidth 5 -draw 'line 36,12 54,30' -draw 'line 54,12 36,30'
button drive "$PAPER" "Drive" \
  -fill '#9aa3ad' -draw 'roundrectangle 20,9 70,33 4,4' \
  -fill '#39424c' -draw 'rectangle 26,19 52,22' \
  -fill '#43d047' -draw 'circle 62,27 62,24'
button select "$PAPER" "Select" \
  -fill white -draw 'rectangle 32,6 58,32' \
  -fill none -stroke '#2f7d32' -strokewidth 4 -draw 'polyline 36,19 43,27 55,10'
button remove "$PAPER" "Remove" \
  -fill white -draw 'rectangle 32,6 58,32' \
  -stroke '#c62828' -strokewidth 4 -draw 'line 37,19 53,19'

# Solid mode: the files' blocks joined into one run (on), or kept apart (off).
button solid 'gradient:#d7f5d0-#8fd18a' "SOLID ON" \
  -fill '#2f7d32' -draw 'roundrectangle 14,10 76,32 3,3' \
  -stroke '#d7f5d0' -draw 'line 35,12 35,30' -draw 'line 55,12 55,30'
button solidoff 'gradient:#f2f2f2-#c8c8c8' "SOLID OFF" \
  -fill '#a0a0a0' -draw 'rectangle 12,12 30,30' -draw 'rectangle 36,12 54,30' \
  -draw 'rectangle 60,12 78,30'

# Block buffer sizes: a memory chip with the size on it.
chip=(-fill '#2b3440' -draw 'rectangle 14,5 76,37')
for x in 20 30 40 50 60 70; do
  chip+=(-draw "line $x,2 $x,5" -draw "line $x,37 $x,40")
done
for size in 8 16 32 64 128 256 512; do
  "$IM" -size 90x60 "$PAPER" -stroke "$INK" -strokewidth 1 "${chip[@]}" \
    -stroke none -fill white -font "$FONT" -pointsize 18 -gravity north -annotate +0+9 "${size}M" \
    -fill "$INK" -pointsize 12 -gravity south -annotate +0+3 "Buffer" \
    -fill none -stroke '#8c8470' -gravity northwest -draw 'rectangle 0,0 89,59' \
    -type TrueColor "BMP3:$IMAGES/buffer$size.bmp"
done

# Program icons: a sheet of vellum with a bold V.
icon_picture() {  # SIZE OUTPUT
  local s=$1 r=$(( $1 / 6 )) m=$(( $1 - 1 ))
  "$IM" -size "${s}x${s}" xc:none -fill '#f1e6c8' -stroke '#6b5a33' -strokewidth 1 \
    -draw "roundrectangle 0,0 $m,$m $r,$r" \
    -stroke none -fill '#7a1f1f' -font "$FONT" -pointsize $(( s * 3 / 4 )) -gravity center \
    -annotate +0+1 'V' "$2"
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 48 32 16; do icon_picture "$s" "PNG32:$tmp/icon$s.png"; done
"$IM" "$tmp/icon48.png" "$tmp/icon32.png" "$tmp/icon16.png" "$ICONS/vellum.ico"
"$IM" "$tmp/icon16.png" "$ICONS/small.ico"
