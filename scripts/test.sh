#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Installs what it needs.
#   bash scripts/test.sh
# build/       the 32-bit shipping build (build/dist is the release folder)
# build/x64/   the 64-bit build the tests run under 64-bit Wine
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

bash "$root/scripts/install-deps.sh"
jobs=$(nproc)

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs"

cmake -S "$root" -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=ON >/dev/null
cmake --build "$build/x64" -j "$jobs"

# Tests share the prefix's list.ini and registry: one at a time.
"$root/scripts/testbed.sh" "$build/x64" ctest --test-dir "$build/x64" --output-on-failure --timeout 180 -j1
