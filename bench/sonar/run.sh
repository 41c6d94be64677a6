#!/usr/bin/env bash
# Times a card update by tidemart-update with the sonar step (20 sonar logs
# on the card: 12 Lowrance logs through Sondrak and Sondump, 4 .fsh and 4
# .dat logs through the Wakeform stand-in, each looked up and uploaded)
# against the same update without it, both from the simulated store on
# 127.0.0.1. Alternates the two, RUNS times each (default 3), a fresh card
# and an empty upload history for every run, and prints the median times.
#
#   bench/sonar/run.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/lib/listening-port.sh
build=${1:-build}
runs=${RUNS:-3}
for program in tidemart-update Sondrak Sondump Wakeform velamaris-store; do
  [ -x "$build/bin/$program" ] || { echo "build $program first (scripts/build)" >&2; exit 1; }
done

work=$(mktemp -d)
store_pid=""
cleanup() {
  [ -n "$store_pid" ] && kill -TERM "$store_pid" 2>/dev/null && wait "$store_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The programs in a folder of their own: their history, cache and log stay here.
mkdir -p "$work/bin"
for program in tidemart-update Sondrak Sondump Wakeform; do cp "$build/bin/$program" "$work/bin/"; done

template=$work/template-card
mkdir -p "$template/Velamari/Charts/UGC" "$template/Sonar"
printf 'BENCH-0001\n' > "$template/nTag.txt"
printf 'Directory: Naples\nType: Gold\nChart: Gulf of Naples\nVersion: 11\n' > "$template/Velamari/Index.txt"
for i in $(seq -w 1 12); do cp tests/data/sonar/arabia_example.sl2 "$template/Sonar/Trip$i.slg"; done
for i in 1 2 3 4; do
  "$work/bin/Wakeform" --make-log "$template/Sonar/Bay$i.fsh" 2 40.8359,14.2488
  "$work/bin/Wakeform" --make-log "$template/Sonar/R0000$i.DAT" 1 50.1886,9.9996
  mkdir -p "$template/Sonar/R0000$i" && head -c 65536 /dev/urandom > "$template/Sonar/R0000$i/B001.SON"
done

"$build/bin/velamaris-store" --port 0 > "$work/store.out" 2> "$work/store.err" &
store_pid=$!
port=$(listening_port "$work/store.out" "$store_pid" 10) || port=""
[ -n "$port" ] || { echo "the simulated store did not start" >&2; exit 1; }
printf '127.0.0.1:%s\n' "$port" > "$work/bin/trackServers.txt"
url="http://127.0.0.1:$port/manifests/naples.json"

# run_update NAME [options...]: one update onto a fresh card; prints seconds.
run_update() {
  local name=$1; shift
  rm -rf "$work/card" "$work/bin/history.xml" "$work/bin/history.xml.bak" "$work/bin/latestUtc.txt"
  cp -r "$template" "$work/card"
  local start end
  start=$(date +%s.%N)
  XDG_CACHE_HOME="$work/cache" "$work/bin/tidemart-update" --manifest-url "$url" --card "$work/card" "$@" \
    > "$work/$name.out" 2>&1 || { echo "$name run failed:" >&2; cat "$work/$name.out" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' 
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: > "$work/plain.times"
: > "$work/sonar.times"
for _ in $(seq 1 "$runs"); do
  run_update plain >> "$work/plain.times"
  run_update sonar --sonar --user-id bench >> "$work/sonar.times"
done
grep '^sonar ' "$work/sonar.out"
plain=$(median < "$work/plain.times")
sonar=$(median < "$work/sonar.times")
printf 'without the sonar step: %.2f s (runs: %s)\n' "$plain" "$(tr '\n' ' ' < "$work/plain.times")"
printf 'with 20 sonar logs:     %.2f s (runs: %s)\n' "$sonar" "$(tr '\n' ' ' < "$work/sonar.times")"
awk -v p="$plain" -v s="$sonar" 'BEGIN { printf "sonar step: %.2f s, %.3f s per log\n", s - p, (s - p) / 20 }' 
