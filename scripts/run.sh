#!/usr/bin/env bash
# Builds the dialer and runs it under Wine. Installs what it needs.
#   bash scripts/run.sh
# With a display ($DISPLAY works) it opens in a Wine desktop window and runs
# until you close it. Without one it runs on a virtual display for a few
# seconds and saves a screenshot, printing its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

# The release folder for Windows (32-bit), and the same programs built for
# 64-bit Wine, which is what runs here.
bash "$root/scripts/build.sh" dist
dist=$build/x64/dist
echo "release folder for Windows: $build/dist"

if [ -n "${DISPLAY:-}" ] && xset q >/dev/null 2>&1; then
  VORNADEL_USE_DISPLAY=1 "$root/scripts/testbed.sh" "$build/x64" \
    sh -c 'cd "$1" && "$WINELOADER" explorer.exe /desktop=Default,800x600 vornadel.exe' _ "$dist"
else
  shots=$build/screenshots
  mkdir -p "$shots"
  shot=$shots/vornadel-$(date +%Y%m%d-%H%M%S).png
  "$root/scripts/testbed.sh" "$build/x64" sh -c '
    cd "$1"
    "$WINELOADER" vornadel.exe >/dev/null 2>&1 &
    sleep 6
    import -window root -crop 800x600+0+0 +repage "$2"
    "$WINELOADER" taskkill /im vornadel.exe >/dev/null 2>&1 || true
    wait' _ "$dist" "$shot"
  echo "screenshot: $shot"
fi
