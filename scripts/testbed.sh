#!/usr/bin/env bash
# Runs a command inside the Wine test bed: a private prefix in the build tree,
# a virtual X display, one Wine virtual desktop, the Chinese locale and a
# persistent wineserver. Everything it starts is stopped again on exit.
#   [VORNADEL_DPI=144] scripts/testbed.sh BUILD_DIR COMMAND [ARGS...]
# VORNADEL_DPI sets the display's DPI (default 96); the desktop grows with it.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
shift

export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# A 32-bit build runs under 32-bit Wine, a 64-bit one under 64-bit Wine.
if grep -qs 'CMAKE_CXX_SIZEOF_DATA_PTR "4"' "$build_dir"/CMakeFiles/*/CMakeCXXCompiler.cmake; then
  export WINELOADER=/usr/lib/wine/wine
else
  export WINELOADER=/usr/lib/wine/wine64
fi
wine=$WINELOADER
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
# No Mono / Gecko install dialogs.
export WINEDLLOVERRIDES="mscoree=;mshtml="

dpi=${VORNADEL_DPI:-96}
case "$dpi" in ''|*[!0-9]*) echo "VORNADEL_DPI must be a number: '$dpi'" >&2; exit 2 ;; esac
desktop="$((800 * dpi / 96))x$((600 * dpi / 96))"
screen="$((1024 * dpi / 96 > 1024 ? 1024 * dpi / 96 : 1024))x$((768 * dpi / 96 > 768 ? 768 * dpi / 96 : 768))"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT INT TERM

if [ -z "${VORNADEL_USE_DISPLAY:-}" ]; then
  # Let the X server choose a free display number.
  dispfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$dispfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$dispfile" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$dispfile")"
  rm -f "$dispfile"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Every program of the prefix runs inside one virtual desktop with a tray.
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
  wineserver -w
fi

# Wine reads the DPI from LogPixels when its server starts; the prefix keeps
# the last value, so it is set on every run that needs another one.
logpixels=$(printf 'dword:%08x' "$dpi")
if ! grep -A30 -F '[Control Panel\\Desktop]' "$WINEPREFIX/user.reg" | sed '/^$/q' | \
     grep -qF "\"LogPixels\"=$logpixels"; then
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >/dev/null 2>&1
  wineserver -w
fi

wineserver -p >/dev/null 2>&1 &
# Start the desktop (and the services it brings) detached from our output:
# a helper process that inherited a test's stdout would keep ctest waiting.
"$wine" explorer.exe /desktop="Default,$desktop" >/dev/null 2>&1 </dev/null &
"$wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

"$@"
