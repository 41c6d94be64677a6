#!/usr/bin/env bash
# Benchmark (b) of the card update: a bad network. Every large file of a
# chart set breaks off once, half way through (the test server cuts the
# connection after half of its bytes, on the first request of each file);
# tidemart-update retries and the card must end up with the whole set. The
# figure is the bytes the server sent in all against the size of the set:
# 1.0 means nothing was fetched twice, 1.5 that each file was fetched again
# from its start. Goal: at most 1.1.
#
#   bench/update/resume.sh [SIZE_MIB]        default: 256
#
# The set is eight files of random bytes (SIZE_MIB in all), each with its
# md5 in the manifest, so that the resumed files are also checked. With
# NO_RANGES=1 the server takes no byte ranges, which shows what the same
# network costs without resuming. Needs a
# build (BUILD_DIR, default build/), curl and md5sum, and twice SIZE_MIB
# free in TMPDIR (default /tmp).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/listening-port.sh"
bin=${BUILD_DIR:-$root/build}/bin
size_mib=${1:-256}

for program in "$bin/velamaris-httpserver" "$bin/tidemart-update"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build)" >&2; exit 1; }
done
for tool in curl md5sum; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-resume.XXXXXX")
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2> /dev/null && wait "$server_pid" 2> /dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/files" "$work/bin" "$work/card/Velamari/Charts"
# A copy of the program, so that its log lands in the work folder, not build/.
cp "$bin/tidemart-update" "$work/bin/"
printf 'BENCH-0001\n' > "$work/card/nTag.txt"

file_size=$((size_mib * 1024 * 1024 / 8))
routes=""
for i in 1 2 3 4 5 6 7 8; do
  head -c "$file_size" /dev/urandom > "$work/files/BENCH$i.psg"
  routes+="{\"path\":\"/files/BENCH$i.psg\",\"file\":\"files/BENCH$i.psg\","
  routes+="\"fault\":{\"closeAfterBytes\":$((file_size / 2))},\"faultyRequests\":1,"
  routes+="\"acceptRanges\":$([ "${NO_RANGES:-0}" = 1 ] && echo false || echo true)},"
done
routes+="{\"path\":\"/manifest.json\",\"file\":\"manifest.json\",\"contentType\":\"application/json\"}"
printf '{"routes":[%s]}\n' "$routes" > "$work/server.json"
: > "$work/manifest.json"

"$bin/velamaris-httpserver" --port 0 --config "$work/server.json" > "$work/server.out" 2>&1 &
server_pid=$!
port=$(listening_port "$work/server.out" "$server_pid" 30) || port=""
[ -n "$port" ] || { echo "the server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }
base="http://127.0.0.1:$port"

# The manifest is read from disk at each request, so it can follow the port.
records=()
for i in 1 2 3 4 5 6 7 8; do
  md5=$(md5sum "$work/files/BENCH$i.psg" | cut -d' ' -f1)
  records+=("{\"name\":\"BENCH$i.psg\",\"size\":$file_size,\"url\":\"$base/files/BENCH$i.psg\",\"destination_path\":\"Velamari/Charts/BENCH$i.psg\",\"md5\":\"$md5\"}")
done
(IFS=,; printf '[%s]' "${records[*]}") > "$work/manifest.json"

start=$(date +%s.%N)
TMPDIR=$work/tmp XDG_CACHE_HOME=$work/tmp "$work/bin/tidemart-update" --manifest-url "$base/manifest.json" \
  --card "$work/card" > "$work/product.out" 2>&1 || true
end=$(date +%s.%N)
grep -qx completed "$work/product.out" || { echo "tidemart-update failed:" >&2; tail -n 5 "$work/product.out" >&2; exit 1; }
for i in 1 2 3 4 5 6 7 8; do
  cmp -s "$work/files/BENCH$i.psg" "$work/card/Velamari/Charts/BENCH$i.psg" ||
    { echo "BENCH$i.psg on the card differs from the store's" >&2; exit 1; }
done

# Bytes of the chart files the server sent, over all requests.
sent=$(curl --silent --show-error --fail --noproxy '*' "$base/_requests" | sed 's/},{/\n/g' |
  awk '/"path":"\/files\// { if (match($0, /"bodyBytesSent":[0-9]+/)) s += substr($0, RSTART + 16, RLENGTH - 16) }
       END { printf "%.0f", s }')
requests=$(curl --silent --show-error --fail --noproxy '*' "$base/_requests" | sed 's/},{/\n/g' | grep -c '"path":"/files/')
total=$((file_size * 8))
awk -v s="$sent" -v t="$total" -v r="$requests" -v e="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" 'BEGIN {
  printf "chart set %d bytes in 8 files, each cut once at half way\n", t
  printf "requests %d, bytes sent %d, time %.1f s\n", r, s, e
  printf "bytes fetched / set size: %.3f%s\n", s / t, (s / t <= 1.1) ? "" : "  (goal 1.1 missed)"
}'
