#!/usr/bin/env bash
# Draws the window's built-in pictures and the program icon into ui/pictures/ with ImageMagick and
# qrencode. The output is committed; run this again only to change a picture. Same tools, same bytes:
# every timestamp and comment chunk is left out.
#
#   tools/make_pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=ui/pictures
mkdir -p "$OUT"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# The QR code carries the maker's home page address, kept once in ui/main_window.h.
HOME_PAGE=$(sed -n 's/^inline constexpr char kHomePageAddress\[\] = "\(.*\)";$/\1/p' ui/main_window.h)
[ -n "$HOME_PAGE" ] || { echo "make_pictures: kHomePageAddress not found in ui/main_window.h" >&2; exit 1; }

# No dates, no software comments, so that a rerun writes the same bytes.
PNG_OPTS=(-strip -define png:exclude-chunks=date,time,tEXt,zTXt,iTXt -define png:compression-level=9)
export SOURCE_DATE_EPOCH=0

# 图片框1: a 344 x 344 JPEG QR code with a circular blue emblem in its centre. Error correction Q
# leaves the code readable with the emblem over its middle.
qrencode -l Q -s 10 -m 2 -o "$TMP/qr.png" "$HOME_PAGE"
convert "$TMP/qr.png" -colorspace sRGB -background white -gravity center -extent 344x344 \
    -fill '#1E88E5' -draw 'circle 172,172 172,140' \
    -fill white -draw 'circle 172,172 172,150' \
    -fill '#1E88E5' -draw 'circle 172,172 172,156' \
    -fill white -draw 'polygon 164,162 184,172 164,182' \
    -blur 0x0.7 -strip -sampling-factor 4:2:0 -quality 45 "$OUT/promo_code.jpg"

# 编辑框底图_26: a one-pixel #878787 rounded outline, about 70 % opaque, transparent inside, 217 x 30.
convert -size 217x30 xc:none -fill none -stroke 'rgba(135,135,135,0.7)' -strokewidth 1 \
    -draw 'roundrectangle 0.5,0.5 216.5,29.5 4,4' "${PNG_OPTS[@]}" "PNG32:$OUT/edit_frame.png"

# bitt按钮119: the query button's face, a solid #41A8FF rectangle with rounded corners, 140 x 31.
convert -size 140x31 xc:none -fill '#41A8FF' -stroke none \
    -draw 'roundrectangle 0,0 139,30 4,4' "${PNG_OPTS[@]}" "PNG32:$OUT/query_button.png"

# 图片框_bg1: a white square with a faint shadow along its right and bottom edges, 140 x 140.
convert -size 140x140 xc:none \
    -fill 'rgba(0,0,0,0.04)' -draw "rectangle 3,3 139,139" \
    -fill 'rgba(0,0,0,0.06)' -draw 'rectangle 2,2 138,138' \
    -fill 'rgba(0,0,0,0.08)' -draw 'rectangle 1,1 137,137' \
    -fill white -draw 'rectangle 0,0 136,136' "${PNG_OPTS[@]}" "PNG32:$OUT/photo_frame.png"

# The program icon: a white pencil on a rounded square filled with a multicoloured gradient, drawn at
# 256 pixels and scaled down to the eight sizes of the icon file, 32-bit colour with alpha.
convert -size 256x256 xc:white \
    -sparse-color Barycentric '0,0 #FF5E62  255,0 #FFB347  0,255 #7F5AF0  255,255 #2CB1FF' \
    \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 48,48' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -stroke none \
    -draw 'translate 128,128 rotate 45 polygon -22,-78 22,-78 22,52 0,88 -22,52' \
    -fill '#FFB347' -draw 'translate 128,128 rotate 45 polygon -22,52 22,52 0,88' \
    -fill white -draw 'translate 128,128 rotate 45 polygon -10,70 10,70 0,88' \
    -fill 'rgba(255,255,255,0.55)' -draw 'translate 128,128 rotate 45 rectangle -22,-92 22,-82' \
    "${PNG_OPTS[@]}" "PNG32:$TMP/icon256.png"
ICON_SIZES=()
for s in 256 64 48 40 32 24 20 16; do
    convert "$TMP/icon256.png" -filter Lanczos -resize "${s}x${s}" "${PNG_OPTS[@]}" "PNG32:$TMP/icon$s.png"
    ICON_SIZES+=("$TMP/icon$s.png")
done
convert "${ICON_SIZES[@]}" -define icon:format=bmp "$OUT/xunpan.ico"
cp "$TMP/icon256.png" "$OUT/xunpan.png"

ls -l "$OUT"
