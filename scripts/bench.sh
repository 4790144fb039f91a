#!/usr/bin/env bash
# Builds the test build and runs every benchmark under the Wine test bed.
# Prints figures only; nothing here passes or fails on speed.
#   bash scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVORNADEL_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

"$root/scripts/testbed.sh" "$build" sh -c '
  cd "$1/testbin"
  echo "== dialer start-up"
  "$WINELOADER" startup_bench.exe
' _ "$build"

echo "== updater download"
bash "$root/tests/updater/run_benchmark.sh" "$build"
