#!/usr/bin/env bash
# Downloads one large generated file from the local HTTP server, once with the
# download manager (bench-download) and once with curl, and compares their
# throughput and peak memory (/usr/bin/time -v).
#
#   bench/download/run.sh [SIZE_IN_BYTES]      default: 1 GiB
#
# Needs a build (BUILD_DIR, default build/) and about twice SIZE of free space
# in TMPDIR (default /tmp). Goal: at least 0.9 of curl's throughput, and a peak
# memory that does not grow with the size.
set -euo pipefail

size=${1:-1073741824}
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/listening-port.sh"
bin=${BUILD_DIR:-$root/build}/bin
for program in "$bin/velamaris-httpserver" "$bin/bench-download"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build)" >&2; exit 1; }
done
command -v curl > /dev/null || { echo "curl is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-download.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null && wait "$server_pid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

printf '{ "routes": [ { "path": "/big.bin", "generate": %s } ] }\n' "$size" > "$work/routes.json"
"$bin/velamaris-httpserver" --config "$work/routes.json" > "$work/server.out" &
server_pid=$!
port=$(listening_port "$work/server.out" "$server_pid" 10) || port=""
[ -n "$port" ] || { echo "the server did not start" >&2; exit 1; }
url="http://127.0.0.1:$port/big.bin"

# seconds from "Elapsed (wall clock) time (h:mm:ss or m:ss): 1:02.34"
elapsed() {
  sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'
}
peak_kb() {
  sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"
}

echo "downloading $size bytes from $url"
/usr/bin/time -v -o "$work/manager.time" "$bin/bench-download" "$url" "$work/manager.bin"
rm -f "$work/manager.bin"
/usr/bin/time -v -o "$work/curl.time" curl --silent --show-error --noproxy '*' --output "$work/curl.bin" "$url"
curl_size=$(stat -c %s "$work/curl.bin")
rm -f "$work/curl.bin"
[ "$curl_size" = "$size" ] || { echo "curl received $curl_size bytes" >&2; exit 1; }

manager_s=$(elapsed "$work/manager.time")
curl_s=$(elapsed "$work/curl.time")
manager_kb=$(peak_kb "$work/manager.time")
curl_kb=$(peak_kb "$work/curl.time")
awk -v size="$size" -v ms="$manager_s" -v cs="$curl_s" -v mk="$manager_kb" -v ck="$curl_kb" 'BEGIN {
  mt = size / ms / 1e6; ct = size / cs / 1e6
  printf "%-16s %10s %12s %14s\n", "", "seconds", "MB/s", "peak RSS (MB)"
  printf "%-16s %10.2f %12.1f %14.1f\n", "download manager", ms, mt, mk / 1024
  printf "%-16s %10.2f %12.1f %14.1f\n", "curl", cs, ct, ck / 1024
  printf "throughput ratio (manager / curl): %.2f\n", mt / ct
}'
