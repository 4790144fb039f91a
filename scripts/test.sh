#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Installs what it needs.
#   bash scripts/test.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/build.sh"
# Tests share the prefix's list.ini and registry: one at a time.
"$root/scripts/testbed.sh" "$root/build/x64" \
  ctest --test-dir "$root/build/x64" --output-on-failure --timeout 180 -j1
# The look of the windows again at 125 %, 150 % and 200 % display scaling.
for dpi in 120 144 192; do
  echo "look tests at $dpi DPI"
  VORNADEL_DPI=$dpi "$root/scripts/testbed.sh" "$root/build/x64" \
    ctest --test-dir "$root/build/x64" --output-on-failure --timeout 180 -j1 -R 'Look'
done

# The shipping build is 32-bit: its tests run too where the host allows.
bash "$root/scripts/test32.sh"
