#!/usr/bin/env bash
# Builds both trees, prints the shipping programs' sizes section by section,
# and runs every benchmark under the Wine test bed:
# the dialer's start-up against a bare window program, a skinned button's
# paint and fade step, and the updater's download throughput next to curl's
# on the same files from one loopback server, with its peak memory at two
# sizes (it should not grow). Prints figures only; nothing here passes or
# fails on speed.
#   bash scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64

bash "$root/scripts/build.sh"

# The 32-bit programs users download, each to stay at most 200 KB: file size
# and the size of each section (code .text, constants .rdata, unwind tables
# .eh_fram, imports .idata, resources .rsrc, relocations .reloc ...).
echo "== shipping programs (32-bit, build/dist), bytes"
for exe in vornadel.exe update.exe; do
  file=$root/build/dist/$exe
  sections=""
  while read -r _ name size _; do sections+=" $name $((16#$size))"; done \
    < <(i686-w64-mingw32-objdump -h "$file" | grep -E '^ +[0-9]+ ')
  total=$(stat -c %s "$file")
  printf "  %-13s %7d  (%s )%s\n" "$exe" "$total" "${sections# }" "$([ "$total" -gt 204800 ] && echo "  OVER 200 KB")"
done

"$root/scripts/testbed.sh" "$build" bash -c '
  set -euo pipefail
  root=$1 build=$2 bin=$2/testbin server=$1/tests/updater/http_server.py
  echo "== dialer start-up"
  (cd "$bin" && "$WINELOADER" startup_bench.exe)
  echo "== skinned button paint and fade"
  (cd "$bin" && "$WINELOADER" skin_bench.exe)

  echo "== updater download"
  work=$(mktemp -d)
  port=$(python3 -c "import socket; s=socket.socket(); s.bind((\"127.0.0.1\",0)); print(s.getsockname()[1])")
  trap "python3 \"$server\" stop \"$work/pid\"; rm -rf \"$work\"" EXIT
  python3 "$server" start "$port" "$work/pid" "$bin/updater/standin/vornadel.exe" >/dev/null
  for size in 5242880 20971520; do
    url="http://127.0.0.1:$port/bench/$size"
    read -r bytes secs <<<"$(curl -s -o /dev/null -w "%{size_download} %{time_total}" "$url")"
    line=$("$WINELOADER" "$bin/updater/download_bench.exe" "$url" "${url%/*}/500" | tr -d "\r")
    awk -v b="$bytes" -v s="$secs" -v l="$line" -v n="$size" "BEGIN { c = b / s / 1e6; match(l, /[0-9.]+ MB\\/s/)
      printf \"size %s bytes\\n  curl: %d bytes in %s s = %.1f MB/s\\n  %s\\n  updater/curl throughput: %.3f\\n\",
             n, b, s, c, l, substr(l, RSTART, RLENGTH - 5) / c }"
  done
' _ "$root" "$build"
