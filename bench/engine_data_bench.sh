#!/bin/bash
# Engine data files beside cat: a catalog of 1,000,000 items in 10,000 folders saved once, then
# the folder-tree file loaded by the engine (in process, fresh process each round) and read by
# cat (whole process, through command_pair_bench), the two alternating over ROUNDS rounds with
# warm caches; prints the medians, the ratio and the memory per item.
#   bench/engine_data_bench.sh [BUILD_DIR] [FOLDERS ITEMS_PER_FOLDER] [ROUNDS]
set -eu
build=${1:-build}
folders=${2:-10000}
per_folder=${3:-100}
rounds=${4:-7}
bench="$build/bin/engine_data_bench"
pair="$build/bin/command_pair_bench"
for p in "$bench" "$pair"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
work=$(mktemp -d "${TMPDIR:-/tmp}/engine_data_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

save_line=$("$bench" save "$work" "$folders" "$per_folder")
file="$work/OstraData.qdb"
cat "$file" >/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
: >"$work/load_ms"
: >"$work/cat_ms"
load_line=""
for _ in $(seq "$rounds"); do
  load_line=$("$bench" load "$work")
  echo "$load_line" | sed 's/.*load_ms \([0-9.]*\).*/\1/' >>"$work/load_ms"
  "$pair" 1 cat true -- cat "$file" -- true | awk '$1 == "cat" { print $3 }' >>"$work/cat_ms"
done
load_ms=$(median <"$work/load_ms")
cat_ms=$(median <"$work/cat_ms")
best_load=$(sort -n "$work/load_ms" | head -1)
per_item=$(echo "$load_line" | sed 's/.*bytes_per_item \([0-9.]*\).*/\1/')

echo "$save_line"
echo "catalog load: median $load_ms ms (best $best_load, $rounds rounds); cat of the file: median $cat_ms ms"
awk -v l="$load_ms" -v c="$cat_ms" -v m="$per_item" 'BEGIN {
  printf "load / cat: %.1fx; load %.0f ms (goal under 500 ms), %s bytes per item (goal under 300)\n", l / c, l, m }'
