# Sourced by the folder-tree benchmark scripts: the tree they run on and find's time on it.
#   tree_bench_prepare BENCH_PROGRAM NAME [TREE]   sets $tree (made when none is given)
#   tree_bench_find_ms                             sets $best_find: the best of three warm runs
tree_bench_prepare() {
  program=$1
  name=$2
  tree=${3:-}
  [ -x "$program" ] || { echo "build $program first" >&2; exit 1; }
  cleanup=""
  if [ -z "$tree" ]; then
    work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
    cleanup=$work
    tree=$work/tree
    "$program" "$tree" --make 1000 100 --passes 1 >/dev/null
  fi
  trap '[ -n "$cleanup" ] && rm -rf "$cleanup"' EXIT
}

tree_bench_find_ms() {
  # Warm the caches once, then take the best of three runs of find.
  find "$tree" -printf '%s %T@\n' >/dev/null
  best_find=""
  for _ in 1 2 3; do
    start=$(date +%s%N)
    find "$tree" -printf '%s %T@\n' >/dev/null
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    if [ -z "$best_find" ] || [ "$ms" -lt "$best_find" ]; then best_find=$ms; fi
  done
  [ "$best_find" -gt 0 ] || best_find=1
}
