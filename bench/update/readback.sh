#!/usr/bin/env bash
# The cost of the card checks at full loopback speed: the same chart set
# installed by tidemart-update with its checks (read-back of every copied
# file from the card, past the cache; the downloads' checksums where the
# manifest gives them) and without them (--no-read-back, a manifest without
# checksums).
#
#   bench/update/readback.sh [SIZE_MIB]       default: 1024; RUNS=4
#
# A third mode, read-back alone (no checksums), shows how the cost divides.
# The order rotates; the median times are compared. Goal: checked at most
# 1.25x unchecked.
# Needs a build (BUILD_DIR, default build/) and about twice the size free in
# TMPDIR (default /tmp).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/listening-port.sh"
bin=${BUILD_DIR:-$root/build}/bin
runs=${RUNS:-4}
size=${1:-1024}

for program in "$bin/velamaris-store" "$bin/tidemart-update"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-readback.XXXXXX")
store_pid=""
cleanup() {
  if [ -n "$store_pid" ]; then kill "$store_pid" 2> /dev/null && wait "$store_pid" 2> /dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/store"
cp "$bin/tidemart-update" "$work/bin/"

"$bin/velamaris-store" --port 0 --big-set-mib "$size" --data-dir "$work/store" > "$work/store.out" 2>&1 &
store_pid=$!
port=$(listening_port "$work/store.out" "$store_pid" 600) || port=""
[ -n "$port" ] || { echo "the store did not start:" >&2; cat "$work/store.out" >&2; exit 1; }
url="http://127.0.0.1:$port/manifests/bench.json"

# The manifest as the store gives it, and the same with its checksums blanked.
curl --silent --show-error --fail --noproxy '*' "$url" > "$work/checked.json"
sed 's/"md5":"[0-9a-fA-F]*"/"md5":""/g' "$work/checked.json" > "$work/unchecked.json"

cp "$work/unchecked.json" "$work/readback.json"

# one MODE RESULTFILE: one update onto a fresh card; MODE is checked,
# readback (read-back, no checksums) or unchecked.
one() {
  local card=$work/card extra=()
  [ "$1" = unchecked ] && extra=(--no-read-back)
  rm -rf "$card" "$work/tmp"
  mkdir -p "$card/Velamari/Charts" "$work/tmp"
  printf 'BENCH-0001\n' > "$card/nTag.txt"
  sync
  local start end
  start=$(date +%s.%N)
  TMPDIR=$work/tmp XDG_CACHE_HOME=$work/tmp "$work/bin/tidemart-update" --card "$card" \
    --manifest-file "$work/$1.json" "${extra[@]}" > "$work/out" 2>&1 || true
  end=$(date +%s.%N)
  grep -qx completed "$work/out" || { echo "tidemart-update failed ($1):" >&2; tail -n 5 "$work/out" >&2; exit 1; }
  echo "$end - $start" | bc > "$2"
  rm -rf "$card" "$work/tmp"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "tidemart-update with and without its card checks, $size MiB, $runs runs, order rotating"
modes=(checked readback unchecked)
printf '%-4s %12s %12s %12s %9s %9s\n' run "checked s" "readback s" "unchecked s" checked readback
for mode in "${modes[@]}"; do : > "$work/$mode.all"; done
for run in $(seq 1 "$runs"); do
  for k in 0 1 2; do
    mode=${modes[$(((run + k) % 3))]}
    one "$mode" "$work/$mode.time"
    cat "$work/$mode.time" >> "$work/$mode.all"
  done
  awk -v r="$run" -v c="$(cat "$work/checked.time")" -v b="$(cat "$work/readback.time")" -v u="$(cat "$work/unchecked.time")" \
    'BEGIN { printf "%-4s %12.2f %12.2f %12.2f %8.2fx %8.2fx\n", r, c, b, u, c / u, b / u }'
done
c=$(median < "$work/checked.all")
b=$(median < "$work/readback.all")
u=$(median < "$work/unchecked.all")
awk -v s="$size" -v c="$c" -v b="$b" -v u="$u" 'BEGIN { r = c / u; printf "%s MiB  checked %.2f s   read-back only %.2f s (%.2fx)   unchecked %.2f s   ratio %.2fx%s\n",
  s, c, b, b / u, u, r, r <= 1.25 ? "" : "  (goal 1.25x missed)" }'
