#!/usr/bin/env bash
# Takes the pictures of the dialer shown in the README, under Wine:
#   docs/main-window.png   the main window as it opens
#   docs/about-window.png  the About window, opened with the "关 于" button
#   docs/tray-menu.png     the tray menu, opened with a right click on the icon
# Builds the 64-bit test build first (the one Wine runs here).
#   bash scripts/screenshots.sh [--dpi DPI] [OUT_DIR]
# With --dpi (e.g. 144 for 150 % scaling) the display runs at that DPI and
# the files are named after the scaling: main-window-150.png ...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64

if [ "${1:-}" = "--dpi" ]; then
  export VORNADEL_DPI=$2
  shift 2
fi
dpi=${VORNADEL_DPI:-96}
# A 96 DPI figure at the display's DPI.
at() { echo $(( ($1 * dpi + 48) / 96 )); }
suffix=""
[ "$dpi" != 96 ] && suffix="-$((dpi * 100 / 96))"

if [ "${1:-}" != "--inside" ]; then
  for tool in xdotool xwininfo import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages xdotool, x11-utils, imagemagick)" >&2; exit 1; }
  done
  out=$(mkdir -p "${1:-$root/docs}" && cd "${1:-$root/docs}" && pwd)
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DVORNADEL_TESTS=ON >/dev/null
  fi
  cmake --build "$build" --target vornadel -j2 >/dev/null
  exec "$root/scripts/testbed.sh" "$build" bash "$0" --inside "$out"
fi

out=$2
magick=convert
[ -x /usr/bin/convert ] && magick=/usr/bin/convert
shot=$(mktemp -d)
trap 'rm -rf "$shot"' EXIT

# X geometry "x y w h" of the first window with this exact title.
geometry() {
  local id
  id=$(xdotool search --sync --onlyvisible --name "^$1\$" | head -n1)
  xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
                             /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# crop NAME x y w h: a piece of the screen as it is now.
crop() {
  import -window root "$shot/screen.png"
  "$magick" "$shot/screen.png" -crop "${4}x${5}+${2}+${3}" +repage "$out/$1"
  echo "wrote $out/$1"
}

# A first start: no settings, so the window stays open.
rm -f "$WINEPREFIX/drive_c/windows/list.ini"
(cd "$build/dist" && "$WINELOADER" vornadel.exe >/dev/null 2>&1 &)
read -r mx my mw mh < <(timeout 30 bash -c "$(declare -f geometry); geometry 'VornadelZembrel V1.0'")
# Let the start-up balloon go before the pictures.
sleep 12
crop "main-window$suffix.png" "$mx" "$my" "$mw" "$mh"

# "关 于": the About button, 232,240 (65 x 25) in the client area at 96 DPI.
border=$(( (mw - $(at 324)) / 2 ))
xdotool mousemove --sync $((mx + border + $(at 264))) $((my + mh - border - $(at 272) + $(at 252))) click 1
read -r ax ay aw ah < <(timeout 30 bash -c "$(declare -f geometry); geometry '关于 ... ...'")
sleep 1
crop "about-window$suffix.png" "$ax" "$ay" "$aw" "$ah"

# The tray icon sits at the right end of the desktop's taskbar.
read -r dw dh < <(xwininfo -root -tree | awk '/Wine desktop/{print $0}' | head -n1 | \
  sed -E 's/.* ([0-9]+)x([0-9]+)\+.*/\1 \2/')
xdotool mousemove --sync $((dw - $(at 11))) $((dh - $(at 10))) click 3
sleep 1.5
# The whole desktop: the menu opens at the icon, above the taskbar.
crop "tray-menu$suffix.png" 0 0 "$dw" "$dh"
