#!/bin/sh
# Folder-tree scan beside find: the same tree, the same run, warm caches for both.
#   bench/scan_bench.sh [BUILD_DIR] [TREE]
# Without TREE a tree of 100,000 files in 1,000 folders is made in a temporary folder.
set -eu
. "$(dirname "$0")/tree_bench_common.sh"
build=${1:-build}
bench="$build/bin/scan_bench"
tree_bench_prepare "$bench" scan_bench "${2:-}"
tree_bench_find_ms

line=$("$bench" "$tree" --passes 3)
echo "find_ms $best_find $line"
first=$(echo "$line" | sed 's/.*first_ms \([0-9.]*\).*/\1/')
second=$(echo "$line" | sed 's/.*second_ms \([0-9.]*\).*/\1/')
awk -v f="$first" -v s="$second" -v b="$best_find" 'BEGIN {
  printf "first pass / find: %.2fx (goal 2x)\nsecond pass / find: %.2fx (goal 1.5x)\n", f / b, s / b }'
