#!/usr/bin/env bash
# Throughput of the updater's download against curl on the same files from
# the same loopback server, in one run, and the updater's peak memory at two
# file sizes (it should not grow with the file).
#   tests/updater/run_benchmark.sh [BUILD_DIR]      (default build/x64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)

# Wine needs the test bed; come back through it.
if [ -z "${WINEPREFIX:-}" ]; then
  exec "$root/scripts/testbed.sh" "$build" "$0" "$build"
fi

bench="$build/testbin/updater/updater_benchmark.exe"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
work=$(mktemp -d)
pidfile="$work/server.pid"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
cleanup() { python3 "$here/http_server.py" stop --pidfile "$pidfile"; rm -rf "$work"; }
trap cleanup EXIT
python3 "$here/http_server.py" start --port "$port" --pidfile "$pidfile" --lifetime 600 >/dev/null

for size in 5242880 20971520; do
  url="http://127.0.0.1:$port/bench/$size"
  curl_out=$(curl -s -o "$work/curl.bin" -w '%{size_download} %{time_total}' "$url")
  read -r cbytes csecs <<<"$curl_out"
  cmbs=$(python3 -c "print(f'{$cbytes/$csecs/1e6:.1f}')")
  echo "size $size bytes"
  echo "  curl:    $cbytes bytes in $csecs s = $cmbs MB/s"
  line=$("$WINELOADER" "$bench" "$url" "http://127.0.0.1:$port/small/vornadel.exe" | tr -d '\r')
  echo "  $line"
  umbs=$(sed -n 's/.*= \([0-9.]*\) MB\/s.*/\1/p' <<<"$line")
  python3 -c "print(f'  updater/curl throughput: {$umbs/$cmbs:.3f}')"
  rm -f "$work/curl.bin"
done
