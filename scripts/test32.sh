#!/usr/bin/env bash
# Runs every test on the 32-bit build (build/x86) too, where this host can
# run 32-bit programs (it then installs Debian's 32-bit Wine). Prints one
# line saying which builds were tested; a host without 32-bit support only
# says so. Called by scripts/test.sh after the 64-bit build's tests passed.
#   bash scripts/test32.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x86

# Whether the kernel executes an i386 program: a hand-made 93-byte static
# ELF whose only code is exit(7) through int 0x80, so no 32-bit libraries
# are needed to find out.
kernel_runs_i386() {
  local probe rc=0
  # Inside the build tree: /tmp may be mounted noexec.
  mkdir -p "$root/build"
  probe=$(mktemp "$root/build/.i386-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xb3\x07\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 7 ]
}

why=""
if ! kernel_runs_i386; then
  why="this host cannot run 32-bit programs"
elif ! bash "$root/scripts/install-deps.sh" --wine32; then
  why="Debian's 32-bit Wine could not be installed"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  why="32-bit Wine does not start on this host"
fi

if [ -n "$why" ]; then
  echo "tested builds: x64 ($why: 32-bit build compiled, not run)"
  exit 0
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
"$root/scripts/testbed.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure --timeout 180 -j1
echo "tested builds: x64, x86 (32-bit)"
