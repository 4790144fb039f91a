#!/usr/bin/env bash
# Builds the test build and runs the long runs at full size under the Wine
# test bed: 20,000 dials from re-dial ticks with balloons and tray cycles;
# 10,000 skin state changes with fades and 1,000 message boxes; 300 updater
# processes downloading and installing, a quarter of them fed faulty answers.
# Prints one table of the work done and what the process held at the start
# and at the end of each run (about 45 minutes on 2 cores).
#   bash scripts/soak.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64

bash "$root/scripts/build.sh" soak_tests
log=$(mktemp)
trap 'rm -f "$log"' EXIT

VORNADEL_SOAK_FULL=1 "$root/scripts/testbed.sh" "$build" sh -c '
  cd "$1/testbin" && "$WINELOADER" soak_tests.exe --gtest_filter="Soak.*"
' _ "$build" >"$log" 2>&1 || { cat "$log"; exit 1; }

echo "| run | work done | kernel handles | GDI objects owned | private memory (KB) |"
echo "|---|---|---|---|---|"
# A negative figure is one that cannot be taken for that run.
tr -d '\r' <"$log" | awk -F'|' 'function f(a, b) { return a < 0 ? "n/a" : a " → " b }
  $1 == "SOAK" { printf "| %s | %s | %s | %s | %s |\n", $2, $3, f($4, $5), f($6, $7), f($8, $9) }'
