#!/usr/bin/env bash
# Installs a generated chart set from the simulated store onto a demo card
# with tidemart-update, and the same set onto a second demo card with curl +
# unzip + cp + sync (toolchain.sh), then compares wall time and peak memory.
#
#   bench/update/run.sh [SIZE_MIB...]       default: 1024 256
#
# The set (velamaris-store --big-set-mib) is eight plain chart files holding
# three quarters of the size and one archive of 256 members holding the rest.
# Both sides download into a staging folder, unpack there, clear the
# superseded files on the card and copy; both end with every card file
# flushed (tidemart-update fsyncs each file it copies, the tool chain runs
# sync on the copied files). The two cards must hold every file of the set at
# its size and end up identical (folders, files and their checksums).
#
# RUNS (default 4) runs per size, the order alternating so that each side
# goes first equally often; the median times are compared. Peak memory is
# the maximum resident size from /usr/bin/time (the highest of the runs); for
# the tool chain that is its largest single process. "other s" is the CPU
# time used meanwhile by neither side nor the store: well above 0 means the
# machine was not quiet. Goal: at most 1.15x the tool chain's time, with a
# peak memory that does not grow with the size.
#
# RATE_MB=40 serves the chart files at no more than 40 MB/s (a slow line):
# the network is then the slow side, and the product, which unpacks while it
# downloads, aims at 0.8x of the tool chain, which unpacks after.
#
# The same update on a network that cuts every file once is measured by
# resume.sh in this folder (bytes fetched against the size of the set).
#
# Needs a build (BUILD_DIR, default build/) and about twice the largest size
# free in TMPDIR (default /tmp), which holds a staging folder and a card at a
# time. The log of the last tidemart-update run is kept only with KEEP=1.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/listening-port.sh"
here=$root/bench/update
bin=${BUILD_DIR:-$root/build}/bin
runs=${RUNS:-4}
rate=${RATE_MB:-0}
goal=1.15
[ "$rate" = 0 ] || goal=0.8
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1024 256)

for program in "$bin/velamaris-store" "$bin/tidemart-update"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build)" >&2; exit 1; }
done
for tool in curl unzip cp sync diff; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-update.XXXXXX")
store_pid=""
cleanup() {
  if [ -n "$store_pid" ]; then kill "$store_pid" 2> /dev/null && wait "$store_pid" 2> /dev/null; fi
  if [ "${KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# A copy of the program, so that its log lands in the work folder, not build/.
mkdir -p "$work/bin"
cp "$bin/tidemart-update" "$work/bin/"

# The demo card of scripts/demo: a tag, an index and last season's charts.
template=$work/template-card
mkdir -p "$template/Velamari/Charts/UGC"
printf 'DEMO-0001\n' > "$template/nTag.txt"
printf 'Directory: Naples\nType: Gold\nChart: Gulf of Naples\nVersion: 11\n' > "$template/Velamari/Index.txt"
head -c 1500000 /dev/urandom > "$template/Velamari/Charts/NAP01.psg"
head -c 800000 /dev/urandom > "$template/Velamari/Charts/NAP-old-notes.txt"
printf 'catalogue\n' > "$template/Velamari/Charts/naples.xct"

start_store() {
  mkdir -p "$work/store"
  "$bin/velamaris-store" --port 0 --big-set-mib "$1" --data-dir "$work/store" --rate-mb "$rate" \
    > "$work/store.out" 2>&1 &
  store_pid=$!
  port=$(listening_port "$work/store.out" "$store_pid" 600) || port=""
  [ -n "$port" ] || { echo "the store did not start:" >&2; cat "$work/store.out" >&2; exit 1; }
}

stop_store() {
  kill "$store_pid" 2> /dev/null && wait "$store_pid" 2> /dev/null || true
  store_pid=""
  rm -rf "$work/store"
}

fresh() {
  rm -rf "$1"
  cp -R "$template" "$1"
}

busy_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat; }
store_ticks() { awk '{ print $14 + $15 }' "/proc/$store_pid/stat"; }

# timed RESULTFILE COMMAND...: runs COMMAND under /usr/bin/time and writes
# "seconds peak_KiB other_cpu_seconds", the last being the CPU time that
# neither COMMAND nor the store used meanwhile (another user's load, kernel
# threads): near 0 on a quiet machine.
timed() {
  local result=$1 busy store status=0
  shift
  busy=$(busy_ticks)
  store=$(store_ticks)
  /usr/bin/time -f '%e %M %U %S' -o "$result.time" "$@" || status=$?
  busy=$(($(busy_ticks) - busy))
  store=$(($(store_ticks) - store))
  tail -n 1 "$result.time" | awk -v b="$busy" -v s="$store" -v hz="$(getconf CLK_TCK)" \
    '{ o = (b - s) / hz - $3 - $4; printf "%s %s %.2f\n", $1, $2, o < 0 ? 0 : o }' > "$result"
  return "$status"
}

# Whatever a run leaves behind would still be written out by the disk while
# the other side runs; each run therefore drops its staging folder and, once
# the card is checked and listed, its card, before the next run starts.

# card_listing CARD: folders, then every file with its checksum.
card_listing() {
  (cd "$1" && find . -type d | sort && find . -type f -print0 | sort -z | xargs -0 md5sum)
}

# run_product RESULTFILE: one card update by the product onto a fresh card.
run_product() {
  local card=$work/card-product
  fresh "$card"
  rm -rf "$work/tmp"
  mkdir -p "$work/tmp"
  sync
  if ! TMPDIR=$work/tmp XDG_CACHE_HOME=$work/tmp timed "$1" \
    "$work/bin/tidemart-update" --manifest-url "$url" --card "$card" > "$work/product.out" 2>&1 ||
    ! grep -qx completed "$work/product.out"; then
    echo "tidemart-update failed:" >&2
    tail -n 5 "$work/product.out" >&2
    exit 1
  fi
  rm -rf "$work/tmp"
  check_card "$card" || exit 1
  card_listing "$card" > "$work/product.listing"
  rm -rf "$card"
}

# run_chain RESULTFILE: the same with the tool chain.
run_chain() {
  local card=$work/card-chain
  fresh "$card"
  rm -rf "$work/staging"
  sync
  timed "$1" bash "$here/toolchain.sh" "$url" "$work/staging" "$card" > "$work/chain.out" 2>&1 || {
    echo "the tool chain failed:" >&2
    tail -n 5 "$work/chain.out" >&2
    exit 1
  }
  rm -rf "$work/staging"
  check_card "$card" || exit 1
  card_listing "$card" > "$work/chain.listing"
  rm -rf "$card"
}

# check_card CARD: every file of the manifest is on the card at its full size,
# so that two cards compared equal are not merely both empty.
check_card() {
  local manifest record name destination size files unzipped found
  manifest=$(curl --silent --show-error --fail --noproxy '*' "$url")
  while IFS= read -r record; do
    [ -n "$record" ] || continue
    name=$(sed -n 's/.*"name":"\([^"]*\)".*/\1/p' <<< "$record")
    destination=$(sed -n 's/.*"destination_path":"\([^"]*\)".*/\1/p' <<< "$record")
    size=$(sed -n 's/.*"size":\([0-9]*\).*/\1/p' <<< "$record")
    files=$(sed -n 's/.*"total_files":\([0-9]*\).*/\1/p' <<< "$record")
    unzipped=$(sed -n 's/.*"unzipped_size":\([0-9]*\).*/\1/p' <<< "$record")
    if [[ $destination == *"$name"* ]]; then
      found=$(stat -c %s "$1/$destination" 2> /dev/null || echo missing)
      [ "$found" = "$size" ] || { echo "$1/$destination: $found bytes, $size expected" >&2; return 1; }
    else
      found=$(find "$1/$destination" -type f -printf '%s\n' | awk '{ n++; b += $1 } END { print n + 0, b + 0 }')
      [ "$found" = "$files $unzipped" ] ||
        { echo "$1/$destination: $found (files bytes), $files $unzipped expected" >&2; return 1; }
    fi
  done < <(sed 's/^\[{//; s/}\]$//; s/},{/\n/g' <<< "$manifest")
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "tidemart-update against curl + unzip + cp + sync, $runs runs per size, order alternating"
[ "$rate" = 0 ] || echo "chart files served at no more than $rate MB/s"
echo "machine: $(nproc) cores; TMPDIR $(df -h "$work" | awk 'NR == 2 { print $1 ", " $4 " free" }')"
summary=()
for size in "${sizes[@]}"; do
  start_store "$size"
  url="http://127.0.0.1:$port/manifests/bench.json"
  echo
  echo "chart set of $size MiB; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%-4s %-8s %10s %9s %8s %10s %9s %8s %7s\n' run first "product s" "peak MiB" "other s" "chain s" "peak MiB" \
    "other s" ratio
  : > "$work/product.all"
  : > "$work/chain.all"
  for run in $(seq 1 "$runs"); do
    if [ $((run % 2)) = 1 ]; then
      first=product
      run_product "$work/p.time"
      run_chain "$work/c.time"
    else
      first=chain
      run_chain "$work/c.time"
      run_product "$work/p.time"
    fi
    diff "$work/product.listing" "$work/chain.listing" > "$work/diff.out" || {
      echo "the two cards differ:" >&2
      head -n 20 "$work/diff.out" >&2
      exit 1
    }
    read -r ps pk po < "$work/p.time"
    read -r cs ck co < "$work/c.time"
    echo "$ps $pk" >> "$work/product.all"
    echo "$cs $ck" >> "$work/chain.all"
    awk -v r="$run" -v f="$first" -v ps="$ps" -v pk="$pk" -v po="$po" -v cs="$cs" -v ck="$ck" -v co="$co" \
      'BEGIN { printf "%-4s %-8s %10.2f %9.1f %8.2f %10.2f %9.1f %8.2f %6.2fx\n", r, f, ps, pk / 1024, po, cs, ck / 1024, co, ps / cs }'
  done
  ps=$(cut -d' ' -f1 "$work/product.all" | median)
  cs=$(cut -d' ' -f1 "$work/chain.all" | median)
  pk=$(cut -d' ' -f2 "$work/product.all" | sort -n | tail -n 1)
  ck=$(cut -d' ' -f2 "$work/chain.all" | sort -n | tail -n 1)
  line=$(awk -v s="$size" -v ps="$ps" -v pk="$pk" -v cs="$cs" -v ck="$ck" -v g="$goal" \
    'BEGIN { r = ps / cs; printf "%5s MiB  product %6.2f s %6.1f MiB   chain %6.2f s %6.1f MiB   ratio %.2fx%s",
      s, ps, pk / 1024, cs, ck / 1024, r, r <= g ? "" : "  (goal " g "x missed)" }')
  echo "$line"
  echo "cards complete and identical (folders, files, checksums) in every run; load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  summary+=("$line")
  stop_store
done

echo
echo "median time, highest peak memory (product: tidemart-update; chain: curl + unzip + cp + sync)"
printf '%s\n' "${summary[@]}"
