#!/usr/bin/env bash
# The updater's download throughput next to curl's on the same files from the
# same loopback server, and its peak memory at two sizes (it should not grow).
#   tests/updater/run_benchmark.sh [BUILD_DIR]      (default build/x64; runs itself under the test bed)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build/x64}" && pwd)
[ -n "${WINEPREFIX:-}" ] || exec "$here/../../scripts/testbed.sh" "$build" bash "$here/run_benchmark.sh" "$build"
work=$(mktemp -d)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
trap 'python3 "$here/http_server.py" stop "$work/pid"; rm -rf "$work"' EXIT
python3 "$here/http_server.py" start "$port" "$work/pid" "$build/testbin/updater/standin/vornadel.exe" >/dev/null
for size in 5242880 20971520; do
  url="http://127.0.0.1:$port/bench/$size"
  read -r bytes secs <<<"$(curl -s -o /dev/null -w '%{size_download} %{time_total}' "$url")"
  line=$("$WINELOADER" "$build/testbin/updater/updater_benchmark.exe" "$url" "${url%/*}/500" | tr -d '\r')
  awk -v b="$bytes" -v s="$secs" -v l="$line" -v n="$size" 'BEGIN { c = b / s / 1e6; match(l, /[0-9.]+ MB\/s/)
    printf "size %s bytes\n  curl: %d bytes in %s s = %.1f MB/s\n  %s\n  updater/curl throughput: %.3f\n",
           n, b, s, c, l, substr(l, RSTART, RLENGTH - 5) / c }'
done
