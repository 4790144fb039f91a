#!/usr/bin/env bash
# Renders the artwork from the SVG sources in src/ and packs it:
#   vornadel.ico  window icon, 48/32/16 px at 4, 8 and 32 bits per pixel, and
#                 the sizes of higher DPIs (64/40/24/20 px) at 32 bits
#   xptray.ico    tray icon, 32/16 px at 4, 8 and 32 bits per pixel, and
#                 24/20 px at 32 bits: the small-icon sizes of 150 % and 125 %
#                 (a tray icon is never asked for at a large-icon size)
#   banner.jpg    the main window's 308 x 99 banner
#   banner-2x.jpg the same at 616 x 198, shown downscaled above 96 DPI
# The results are committed, so building the programs needs none of these tools.
# Needs rsvg-convert (librsvg2-bin), ImageMagick and python3.
set -euo pipefail
for tool in rsvg-convert python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (packages librsvg2-bin, python3)" >&2; exit 1; }
done
here=$(cd "$(dirname "$0")" && pwd)
src=$here/src
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The ImageMagick 6 binary itself, not any wrapper ahead of it on the PATH.
if [ -x /usr/bin/convert ]; then magick=/usr/bin/convert; else magick=convert; fi

# raw SVG SIZE -> RGBA bytes of the rendering at SIZE x SIZE
raw() {
  rsvg-convert -w "$2" -h "$2" "$1" -o "$work/r.png"
  "$magick" "$work/r.png" -depth 8 "rgba:$work/$(basename "$1" .svg)-$2.rgba"
  echo "$work/$(basename "$1" .svg)-$2.rgba"
}

entries=()
for size in 48 32 16; do
  svg=$src/icon.svg
  [ "$size" = 16 ] && svg=$src/icon-16.svg
  file=$(raw "$svg" "$size")
  for bpp in 4 8 32; do entries+=("$size:$bpp:$file"); done
done
# Sizes Windows asks for at 125 %, 150 % and 200 %: 32-bit only.
for size in 64 40 24 20; do
  svg=$src/icon.svg
  [ "$size" = 20 ] && svg=$src/icon-16.svg
  entries+=("$size:32:$(raw "$svg" "$size")")
done
python3 "$src/icopack.py" "$here/vornadel.ico" "${entries[@]}"

entries=()
for size in 32 16; do
  file=$(raw "$src/xptray.svg" "$size")
  for bpp in 4 8 32; do entries+=("$size:$bpp:$file"); done
done
for size in 24 20; do
  entries+=("$size:32:$(raw "$src/xptray.svg" "$size")")
done
python3 "$src/icopack.py" "$here/xptray.ico" "${entries[@]}"

# banner WIDTH HEIGHT QUALITY OUT
# Qualities below the default 90 that still show no blocks or ringing where
# the picture is seen (the 2x one on a display of at least 1.25x density).
banner() {
  rsvg-convert -w "$1" -h "$2" "$src/banner.svg" -o "$work/banner.png"
  # Baseline (not progressive) JPEG without metadata: every decoder reads it,
  # and the file only changes when the picture does.
  "$magick" "$work/banner.png" -background '#0b2f7a' -flatten -strip -interlace none \
    -sampling-factor 2x2 -quality "$3" "$here/$4"
}
banner 308 99 80 banner.jpg
banner 616 198 75 banner-2x.jpg
echo "wrote vornadel.ico xptray.ico banner.jpg banner-2x.jpg in $here"
