#!/bin/sh
# Engine data files beside cat: a catalog of 1,000,000 items in 10,000 folders saved once, then
# the folder-tree file read by cat and loaded by the engine, warm caches for both, best of three.
#   bench/engine_data_bench.sh [BUILD_DIR] [FOLDERS ITEMS_PER_FOLDER]
set -eu
build=${1:-build}
folders=${2:-10000}
per_folder=${3:-100}
bench="$build/bin/engine_data_bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/engine_data_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

save_line=$("$bench" save "$work" "$folders" "$per_folder")
file="$work/OstraData.qdb"
cat "$file" >/dev/null
best_cat=""
for _ in 1 2 3; do
  start=$(date +%s%N)
  cat "$file" >/dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  if [ -z "$best_cat" ] || [ "$ms" -lt "$best_cat" ]; then best_cat=$ms; fi
done
[ "$best_cat" -gt 0 ] || best_cat=1

best_load=""
load_line=""
for _ in 1 2 3; do
  line=$("$bench" load "$work")
  ms=$(echo "$line" | sed 's/.*load_ms \([0-9.]*\).*/\1/')
  if [ -z "$best_load" ] || awk -v a="$ms" -v b="$best_load" 'BEGIN { exit !(a < b) }'; then
    best_load=$ms
    load_line=$line
  fi
done

echo "$save_line"
echo "$load_line cat_ms $best_cat"
per_item=$(echo "$load_line" | sed 's/.*bytes_per_item \([0-9.]*\).*/\1/')
awk -v l="$best_load" -v c="$best_cat" -v m="$per_item" 'BEGIN {
  printf "load / cat: %.2fx (goal 3x), load %.0f ms (goal under 1000 ms), %s bytes per item (goal under 300)\n", l / c, l, m }'
