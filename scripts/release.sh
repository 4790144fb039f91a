#!/usr/bin/env bash
# Builds the 32-bit shipping programs and writes the release for Windows
# users into build/release/:
#   vornadel-<version>-win32.zip   a top folder Vornadel/ with the programs
#   vornadel-<version>-setup.exe   the per-user installer
#   SHA256SUMS                     for both, as `sha256sum -c` reads it
# <version> is the CMake project version. Installs what it needs.
#   bash scripts/release.sh
# The packaging step alone, on programs already built (CMake's `release`
# target and the tests run it this way):
#   bash scripts/release.sh --package DIST_DIR OUT_DIR VERSION [--amd64]
# --amd64 makes the installer with 64-bit stubs, for 64-bit test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

package() {
  local dist=$1 out=$2 version=$3 target=${4:-}
  local tool f
  for tool in zip makensis sha256sum; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
  done
  for f in vornadel.exe update.exe xptray.ico; do
    [ -f "$dist/$f" ] || { echo "missing $dist/$f: build the dist target first" >&2; exit 1; }
  done
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "bad version '$version'" >&2; exit 1; }

  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  local zip=vornadel-$version-win32.zip setup=vornadel-$version-setup.exe
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  mkdir "$stage/Vornadel"
  cp "$dist/vornadel.exe" "$dist/update.exe" "$dist/xptray.ico" "$root/installer/README-zh.txt" "$stage/Vornadel/"

  rm -f "$out/$zip" "$out/$setup" "$out/SHA256SUMS"
  (cd "$stage" && zip -q -X -r "$out/$zip" Vornadel)
  local defines=(-DVERSION="$version" -DSOURCE_DIR="$stage/Vornadel" -DOUTFILE="$out/$setup")
  [ "$target" = --amd64 ] && defines+=(-DAMD64)
  makensis -V2 -NOCD "${defines[@]}" "$root/installer/vornadel.nsi"
  (cd "$out" && sha256sum "$zip" "$setup" >SHA256SUMS)
  echo "release files in $out:"
  (cd "$out" && ls -l "$zip" "$setup" SHA256SUMS)
}

if [ "${1:-}" = --package ]; then
  shift
  package "$@"
  exit 0
fi

build=$root/build
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=OFF >/dev/null
# The installer always ships 32-bit: it runs on 32-bit Windows too.
cmake --build "$build" --target release -j "$(nproc)"
