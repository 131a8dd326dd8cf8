#!/usr/bin/env bash
# Draws the program's artwork and writes it into res/:
#   res/banner.bmp  350 x 50 px, 8 bpp, 256-colour palette, uncompressed,
#                   plain BITMAPINFOHEADER (BMP version 3)
#   res/app.ico     eight images: 48, 32, 24, 16 px at 8 bpp (256 colours),
#                   then 48, 32, 24, 16 px at 32 bpp
# Everything is drawn here from primitives; nothing is copied from elsewhere.
#
# Needs ImageMagick (convert), icoutils (icotool) and fontconfig (fc-match).
# Usage: tools/art/make_art.sh        (from anywhere; writes to res/ of the repo)
# Set CONVERT to use another ImageMagick convert than /usr/bin/convert.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
res=$(cd "$here/../.." && pwd)/res

# ImageMagick's own convert; a wrapper of the same name earlier in PATH may
# not do everything used here.
CONVERT=${CONVERT:-/usr/bin/convert}
if [[ ! -x $CONVERT ]]; then
    CONVERT=$(command -v convert) || { echo "make_art.sh: ImageMagick convert not found" >&2; exit 1; }
fi
command -v icotool >/dev/null || { echo "make_art.sh: icotool (icoutils) not found" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Output PNGs without time stamps so that reruns give the same bytes.
png_opts=(-strip -define 'png:exclude-chunk=date,time')

# ---------------------------------------------------------------------------
# Banner

# The banner shows the product name and the logo only: no words, so it serves every language
# the program speaks. A bold sans font that exists here; without one the banner has no text.
font=""
if command -v fc-match >/dev/null; then
    for pattern in 'Liberation Sans:bold' 'DejaVu Sans:bold' 'sans:bold'; do
        f=$(fc-match -f '%{file}' "$pattern" 2>/dev/null || true)
        if [[ -n $f && -f $f ]]; then font=$f; break; fi
    done
fi

text=(-fill none)
if [[ -n $font ]]; then
    text=(
        -font "$font" -pointsize 22 -gravity West
        -fill '#00000066' -annotate +87+2 'QB7-LX450'
        -fill white       -annotate +86+1 'QB7-LX450'
        -gravity NorthWest
    )
fi

# Dark blue to teal gradient, a thin light rule along the bottom and, on the
# left, a small network motif: three nodes joined to a hub.
"$CONVERT" -size 50x350 gradient:'#0b2550-#1d86b0' -rotate -90 \
    -fill '#ffffff30' -draw 'rectangle 0,44 349,45' \
    -stroke '#cfe8f5' -strokewidth 2 -fill none \
    -draw 'line 34,25 14,12' -draw 'line 34,25 14,38' -draw 'line 34,25 60,25' \
    -stroke none -fill '#ffffff' \
    -draw 'circle 34,25 34,17' \
    -fill '#9fd6ef' \
    -draw 'circle 14,12 14,7' -draw 'circle 14,38 14,33' -draw 'circle 60,25 60,20' \
    -fill '#0b2550' -draw 'circle 34,25 34,21' \
    "${text[@]}" \
    "${png_opts[@]}" "PNG24:$work/banner.png"

# Quantise to a 256-colour palette without dithering and write a version 3
# BMP: 8 bpp, BI_RGB, BITMAPINFOHEADER.
"$CONVERT" "$work/banner.png" -alpha off -dither None -colors 256 \
    -type Palette -compress none -depth 8 "BMP3:$res/banner.bmp"

# ---------------------------------------------------------------------------
# Icon

# Master drawing at 256 px: a blue rounded square holding the front of a
# network socket (white body, dark opening with a latch notch, gold contacts)
# and a green link light.
"$CONVERT" -size 256x256 xc:none \
    -fill '#123a78' -draw 'roundrectangle 8,8 247,247 44,44' \
    -fill '#1f6fc0' -draw 'roundrectangle 16,16 239,239 38,38' \
    -fill '#f4f7fb' -draw 'roundrectangle 44,56 211,204 18,18' \
    -fill '#1b2533' -draw 'polygon 66,78 189,78 189,160 158,160 158,182 97,182 97,160 66,160' \
    -fill '#e0b23a' \
    -draw 'rectangle 76,78 83,112'   -draw 'rectangle 90,78 97,112' \
    -draw 'rectangle 104,78 111,112' -draw 'rectangle 118,78 125,112' \
    -draw 'rectangle 132,78 139,112' -draw 'rectangle 146,78 153,112' \
    -draw 'rectangle 160,78 167,112' -draw 'rectangle 174,78 181,112' \
    -fill '#3ad04a' -draw 'roundrectangle 176,214 228,232 6,6' \
    "${png_opts[@]}" "PNG32:$work/master.png"

sizes=(48 32 24 16)
args8=()
args32=()
for s in "${sizes[@]}"; do
    # 32 bpp: full alpha.
    "$CONVERT" "$work/master.png" -filter Lanczos -resize "${s}x${s}" \
        "${png_opts[@]}" "PNG32:$work/icon32_$s.png"
    # 8 bpp: on/off transparency (kept in the icon's mask) and at most 255
    # colours, so icotool can build the 256-entry palette.
    "$CONVERT" "$work/icon32_$s.png" \
        -channel A -threshold 50% +channel \
        -dither None -colors 255 \
        "${png_opts[@]}" "PNG32:$work/icon8_$s.png"
    args8+=(-b 8 "$work/icon8_$s.png")
    args32+=(-b 32 "$work/icon32_$s.png")
done

icotool -c -o "$res/app.ico" "${args8[@]}" "${args32[@]}"

echo "wrote $res/banner.bmp"
echo "wrote $res/app.ico"

# Check the formats the resources need, where Python is at hand.
if command -v python3 >/dev/null; then
    python3 "$here/check_art.py" "$res"
fi
