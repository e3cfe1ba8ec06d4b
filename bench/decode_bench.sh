#!/bin/bash
# JPEG decoding at 1/8 beside djpeg -scale 1/8: the same large photographs, the same run, each
# tool started once per file, best of three rounds for both. The processor time of the two is
# compared (the machine may be shared, which stretches wall-clock times); wall-clock is shown too.
#   bench/decode_bench.sh [BUILD_DIR] [FILE...]
# Without files, the JPEG wallpapers of 4 megapixels and more (bench/decode_setup.sh installs them).
set -eu
here=$(dirname "$0")
build=${1:-build}
[ $# -gt 0 ] && shift
bench="$build/bin/decode_bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
command -v djpeg >/dev/null || { echo "djpeg missing: run $here/decode_setup.sh" >&2; exit 1; }

list=$(mktemp "${TMPDIR:-/tmp}/decode_bench.XXXXXX")
trap 'rm -f "$list" "$list.times"' EXIT
if [ $# -gt 0 ]; then
  for f in "$@"; do echo "$f"; done >"$list"
else
  "$here/decode_setup.sh"
  find /usr/share/wallpapers /usr/share/backgrounds -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) 2>/dev/null |
    sort | while read -r f; do
      size=$(djpeg -scale 1/8 "$f" 2>/dev/null | head -c 64 | sed -n 2p)
      w=${size% *}; h=${size#* }
      if [ -n "$w" ] && [ $((w * h * 64)) -ge 4000000 ]; then echo "$f"; fi
    done >"$list"
fi
count=$(wc -l <"$list")
[ "$count" -gt 0 ] || { echo "no JPEG files to decode" >&2; exit 1; }

# Warm the page cache, then time whole rounds over the list.
while read -r f; do cat "$f" >/dev/null; done <"$list"
# One round: "wall_ms cpu_ms", the processor time being user + system of the started programs.
round() {
  (
    start=$(date +%s%N)
    while read -r f; do "$@" "$f" >/dev/null; done <"$list"
    end=$(date +%s%N)
    times >"$list.times"
    cpu=$(tail -1 "$list.times" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%d", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }')
    echo "$(( (end - start) / 1000000 )) $cpu"
  )
}
best() {
  bw="" bc=""
  for _ in 1 2 3; do
    read -r w c < <(round "$@")
    if [ -z "$bw" ] || [ "$w" -lt "$bw" ]; then bw=$w; fi
    if [ -z "$bc" ] || [ "$c" -lt "$bc" ]; then bc=$c; fi
  done
  echo "$bw $((bc > 0 ? bc : 1))"
}
read -r djpeg_wall djpeg_cpu < <(best djpeg -scale 1/8 -outfile /dev/null)
read -r plb_wall plb_cpu < <(best "$bench" --scale 3)
echo "files $count djpeg_ms $djpeg_wall djpeg_cpu_ms $djpeg_cpu plb_ms $plb_wall plb_cpu_ms $plb_cpu"
awk -v o="$plb_cpu" -v d="$djpeg_cpu" -v ow="$plb_wall" -v dw="$djpeg_wall" 'BEGIN {
  printf "plb / djpeg at 1/8: %.2fx processor time, %.2fx wall-clock (goal about 1x)\n", o / d, ow / dw }'
