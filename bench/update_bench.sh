#!/bin/sh
# Background updater passes beside find: the same registered tree, the same run, warm caches for
# both. A pass over the unchanged tree should cost about what find pays to list it.
#   bench/update_bench.sh [BUILD_DIR] [TREE]
# Without TREE a tree of 100,000 files in 1,000 folders is made in a temporary folder.
set -eu
build=${1:-build}
tree=${2:-}
bench="$build/bin/update_bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
cleanup=""
if [ -z "$tree" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/update_bench.XXXXXX")
  cleanup=$work
  tree=$work/tree
  mkdir -p "$tree"
  "$bench" "$tree" --make 1000 100 --passes 1 >/dev/null
fi
trap '[ -n "$cleanup" ] && rm -rf "$cleanup"' EXIT

# Warm the caches once, then take the best of three runs of find.
find "$tree" -printf '%s %T@\n' >/dev/null
best_find=""
for _ in 1 2 3; do
  start=$(date +%s%N)
  find "$tree" -printf '%s %T@\n' >/dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  if [ -z "$best_find" ] || [ "$ms" -lt "$best_find" ]; then best_find=$ms; fi
done
[ "$best_find" -gt 0 ] || best_find=1

line=$("$bench" "$tree" --passes 3)
echo "find_ms $best_find $line"
second=$(echo "$line" | sed 's/.*second_ms \([0-9.]*\).*/\1/')
awk -v s="$second" -v b="$best_find" 'BEGIN {
  printf "unchanged pass / find: %.2fx (goal: at most 1 / 1.5 = 0.67x)\n", s / b }'
