#!/usr/bin/env bash
# Builds the test build and runs every benchmark under the Wine test bed.
# Prints figures only; nothing here passes or fails on speed.
#   bash scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64

bash "$root/scripts/build.sh"

"$root/scripts/testbed.sh" "$build" sh -c '
  cd "$1/testbin"
  echo "== dialer start-up"
  "$WINELOADER" startup_bench.exe
  echo "== skinned button paint and fade"
  "$WINELOADER" skin_bench.exe
' _ "$build"

echo "== updater download"
bash "$root/tests/updater/run_benchmark.sh" "$build"
