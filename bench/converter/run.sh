#!/usr/bin/env bash
# Times Sondrak and Sondump against the plain cost of reading their input.
#
#   bench/converter/run.sh [build folder] [soundings]
#
# 1. Sondrak converts a dump of 1,000,000 soundings (handed over by a stand-in
#    dump tool that only copies it) and is compared with reading the same
#    dump (cat) plus gzip -6 of the .stk file it produced. Goal: <= 1.3x.
# 2. Sondump decodes the largest sample log and is compared with cat of it;
#    the same for a 108 MB log made of that sample's frames repeated 40 times.
# Each figure is the best of several runs on a warm file cache.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
soundings="${2:-1000000}"
runs=5

for program in bin/Sondrak bin/Sondump bin/bench_makedump bin/bench_copytool; do
  [ -x "$build/$program" ] || { echo "missing $build/$program (build first)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tmp" "$work/out"
cp "$build/bin/Sondrak" "$work/bin/Sondrak"
cp "$build/bin/bench_copytool" "$work/bin/Sondump"
: > "$work/log.slg"

now() { date +%s%N; }
# best_of <command...>: smallest wall time in seconds over $runs runs.
best_of() {
  local best=""
  for _ in $(seq "$runs"); do
    local start end elapsed
    start=$(now)
    "$@" > /dev/null
    end=$(now)
    elapsed=$((end - start))
    if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

"$build/bin/bench_makedump" "$soundings" "$work/dump.txt"
cat "$work/dump.txt" > /dev/null # warm the cache

convert() {
  rm -f "$work/out/"*.zip
  BENCH_DUMP="$work/dump.txt" TMPDIR="$work/tmp" "$work/bin/Sondrak" "$work/log.slg" "$work/out" -minNPoint 1
}
read_dump() { cat "$work/dump.txt"; }

sondrak_time=$(best_of convert)
archive="$(ls "$work/out/"*.zip)"
unzip -p "$archive" > "$work/track.stk"
gzip_track() { gzip -6 -c "$work/track.stk"; }
cat_time=$(best_of read_dump)
gzip_time=$(best_of gzip_track)

dump_size=$(stat -c %s "$work/dump.txt")
stk_size=$(stat -c %s "$work/track.stk")
zip_size=$(stat -c %s "$archive")
echo "Sondrak, $soundings soundings"
echo "  dump $dump_size bytes, .stk $stk_size bytes, archive $zip_size bytes ($(basename "$archive"))"
echo "  Sondrak                  ${sondrak_time} s"
echo "  cat dump + gzip -6 .stk  ${cat_time} s + ${gzip_time} s"
awk -v s="$sondrak_time" -v c="$cat_time" -v g="$gzip_time" \
  'BEGIN { r = s / (c + g); printf "  ratio                    %.2fx (goal <= 1.3x)%s\n", r, r <= 1.3 ? "" : "  MISSED" }'

sample="$root/tests/data/sonar/arabia_example.sl2"
dump_sample() { "$build/bin/Sondump" "$sample" "$work/sample.txt"; }
# The sample is small: time 50 runs in a row.
repeat() { for _ in $(seq 50); do "$@"; done; }
cat_sample() { cat "$sample" > /dev/null; }
sondump_time=$(best_of repeat dump_sample)
cat_sample_time=$(best_of repeat cat_sample)
echo "Sondump, $(basename "$sample") ($(stat -c %s "$sample") bytes), 50 runs"
echo "  Sondump                  ${sondump_time} s"
echo "  cat                      ${cat_sample_time} s"
awk -v s="$sondump_time" -v c="$cat_sample_time" 'BEGIN { printf "  ratio                    %.2fx\n", s / c }'

big="$work/big.sl2"
{ head -c 8 "$sample"; for _ in $(seq 40); do tail -c +9 "$sample"; done; } > "$big"
cat "$big" > /dev/null
dump_big() { "$build/bin/Sondump" "$big" "$work/big.txt"; }
cat_big() { cat "$big"; }
big_time=$(best_of dump_big)
cat_big_time=$(best_of cat_big)
echo "Sondump, the sample's frames 40 times ($(stat -c %s "$big") bytes, $(($(wc -l < "$work/big.txt") - 1)) frames)"
echo "  Sondump                  ${big_time} s"
echo "  cat                      ${cat_big_time} s"
awk -v s="$big_time" -v c="$cat_big_time" 'BEGIN { printf "  ratio                    %.2fx\n", s / c }'
