#!/bin/bash
# Thumbnail making beside its peers, in one run over the same files:
#   cold   plb thumbs at 160 pixels (both stages, every core) over 140 or more real photographs of
#          4 to 15 megapixels, beside vipsthumbnail -s 160 and the floor djpeg -scale 1/8, both
#          run over both cores (two processes); best of three interleaved rounds, wall-clock
#   stages the first stage (EXIF thumbnails) beside the full pass, on camera-like copies
#   warm   10000 cached thumbnails read after a restart, and the first screen of 60
#   bench/thumbs_bench.sh [BUILD_DIR]
set -eu
here=$(dirname "$0")
build=${1:-build}
plb="$build/bin/plb"
bench="$build/bin/thumbs_bench"
for p in "$plb" "$bench"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
"$here/decode_setup.sh"
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail missing (package libvips-tools)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/thumbs_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/vips" "$work/home"

# The wallpapers of 4 to 15 megapixels, copied under distinct names until there are 140 or more.
find /usr/share/wallpapers /usr/share/backgrounds -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) 2>/dev/null |
  sort | while read -r f; do
    size=$(djpeg -scale 1/8 "$f" 2>/dev/null | head -c 64 | sed -n 2p)
    w=${size% *}; h=${size#* }
    if [ -n "$w" ]; then
      px=$((w * h * 64))
      if [ "$px" -ge 4000000 ] && [ "$px" -le 15500000 ]; then echo "$f"; fi
    fi
  done >"$work/sources"
[ -s "$work/sources" ] || { echo "no photographs of 4 to 15 megapixels" >&2; exit 1; }
n=0
while [ "$n" -lt 140 ]; do
  while read -r f; do
    cp "$f" "$work/photos/photo$(printf %04d $n).jpg"
    n=$((n + 1))
  done <"$work/sources"
done
count=$(ls "$work/photos" | wc -l)
mp=$(for f in "$work/photos"/*; do djpeg -scale 1/8 "$f" | head -c 64 | sed -n 2p; done |
  awk '{ s += $1 * $2 * 64 } END { printf "%.1f", s / NR / 1e6 }')
cat "$work/photos"/* >/dev/null

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# One timed run in milliseconds.
timed() {
  local t0; t0=$(date +%s%N)
  "$@" >/dev/null 2>&1
  ms "$t0"
}
plb_cold() {
  rm -rf "$work/home"/* "$work/home"/.[!.]* 2>/dev/null || true
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
    "$plb" thumbs "$work/photos" --size 160 --json >"$work/plb.json"
}
vips_both_cores() { ls "$work/photos"/*.jpg | xargs -P 2 -n 8 vipsthumbnail -s 160 -o "$work/vips/%s.jpg"; }
djpeg_both_cores() {
  ls "$work/photos"/*.jpg | xargs -P 2 -I{} sh -c 'djpeg -scale 1/8 -outfile /dev/null "$1"' _ {}
}

# Rounds interleave the three tools, so a load that comes and goes on a shared machine falls on
# all of them; the best round of each counts.
plb_ms="" vips_ms="" djpeg_ms=""
low() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
for _ in 1 2 3; do
  plb_ms=$(low "$plb_ms" "$(timed plb_cold)")
  vips_ms=$(low "$vips_ms" "$(timed vips_both_cores)")
  djpeg_ms=$(low "$djpeg_ms" "$(timed djpeg_both_cores)")
done
plb_cold
echo "cold: $count photographs, $mp megapixels on average"
echo "  plb thumbs: $(cat "$work/plb.json")"
echo "  plb_ms $plb_ms vipsthumbnail_ms $vips_ms djpeg_1/8_ms $djpeg_ms (best of three, both cores each)"
awk -v p="$plb_ms" -v v="$vips_ms" -v d="$djpeg_ms" -v n="$count" 'BEGIN {
  printf "  throughput: plb %.1f photos/s, vipsthumbnail %.1f, djpeg floor %.1f\n", n * 1000 / p, n * 1000 / v, n * 1000 / d
  printf "  plb / vipsthumbnail throughput: %.2fx (goal 2x or more)\n", v / p
  printf "  plb time / djpeg -scale 1/8 floor: %.2fx (goal 1.2x or less)\n", p / d }'
head -20 "$work/sources" | xargs "$bench" stages
"$bench" warm 10000
