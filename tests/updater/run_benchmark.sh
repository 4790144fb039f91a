#!/usr/bin/env bash
# The updater's download throughput next to curl's on the same files from the
# same loopback server, and its peak memory at two sizes (it should not grow).
#   tests/updater/run_benchmark.sh [BUILD_DIR]      (default build/x64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build/x64}" && pwd)
# Wine needs the test bed; come back through it.
[ -n "${WINEPREFIX:-}" ] || exec "$here/../../scripts/testbed.sh" "$build" bash "$here/run_benchmark.sh" "$build"
bench="$build/testbin/updater/updater_benchmark.exe"
work=$(mktemp -d)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
trap 'python3 "$here/http_server.py" stop "$work/pid"; rm -rf "$work"' EXIT
python3 "$here/http_server.py" start "$port" "$work/pid" >/dev/null
for size in 5242880 20971520; do
  url="http://127.0.0.1:$port/bench/$size"
  read -r cbytes csecs <<<"$(curl -s -o "$work/curl.bin" -w "%{size_download} %{time_total}" "$url")"
  line=$("$WINELOADER" "$bench" "$url" "http://127.0.0.1:$port/small/vornadel.exe" | tr -d '\r')
  umbs=$(sed -n 's/.*= \([0-9.]*\) MB\/s.*/\1/p' <<<"$line")
  python3 -c "c=$cbytes/$csecs/1e6; print(f'size $size bytes\n  curl: $cbytes bytes in $csecs s = {c:.1f} MB/s\n  $line\n  updater/curl throughput: {${umbs:-0}/c:.3f}')"
done
