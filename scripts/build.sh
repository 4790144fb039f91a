#!/usr/bin/env bash
# Installs what is needed, then builds both trees:
#   build/      the 32-bit shipping build (build/dist is the release folder)
#   build/x64/  the same sources for 64-bit Wine, with the tests
#   bash scripts/build.sh [TARGET]   (default: everything)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
target=${1:-all}
jobs=$(nproc)

bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=OFF >/dev/null
# The shipping tree has no tests; its everything is its release folder.
cmake --build "$build" --target dist -j "$jobs"

cmake -S "$root" -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=ON >/dev/null
cmake --build "$build/x64" --target "$target" -j "$jobs"
