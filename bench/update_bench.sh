#!/bin/sh
# Background updater passes beside find: the same registered tree, the same run, warm caches for
# both. A pass over the unchanged tree should cost about what find pays to list it.
#   bench/update_bench.sh [BUILD_DIR] [TREE]
# Without TREE a tree of 100,000 files in 1,000 folders is made in a temporary folder.
set -eu
. "$(dirname "$0")/tree_bench_common.sh"
build=${1:-build}
bench="$build/bin/update_bench"
tree_bench_prepare "$bench" update_bench "${2:-}"
tree_bench_find_ms

line=$("$bench" "$tree" --passes 3)
echo "find_ms $best_find $line"
second=$(echo "$line" | sed 's/.*second_ms \([0-9.]*\).*/\1/')
awk -v s="$second" -v b="$best_find" 'BEGIN {
  printf "unchanged pass / find: %.2fx (goal 1.5x, as for a rescan)\n", s / b }'
