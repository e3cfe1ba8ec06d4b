#!/bin/bash
# Thumbnail making beside its peers, in one run over the same files:
#   cold     plb thumbs at 160 pixels (both stages, every core) over 140 or more real photographs
#            of 4 to 15 megapixels, beside vipsthumbnail -s 160 and the floor djpeg -scale 1/8,
#            both run over both cores (two processes); command_pair_bench alternates plb with
#            each peer and takes medians, plb from an empty cache every time
#   decoded  the same over the photographs that carry no embedded preview, so that plb decodes
#            every one of them as the peers do
#   stages   the first stage (EXIF thumbnails) beside the full pass, on camera-like copies
#   warm     10000 cached thumbnails read after a restart, and the first screen of 60
#   bench/thumbs_bench.sh [BUILD_DIR] [ROUNDS]
set -eu
here=$(dirname "$0")
build=${1:-build}
rounds=${2:-5}
plb="$build/bin/plb"
bench="$build/bin/thumbs_bench"
pair="$build/bin/command_pair_bench"
for p in "$plb" "$bench" "$pair"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
"$here/decode_setup.sh"
for tool in vipsthumbnail exiv2; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/setup installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/thumbs_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos" "$work/decoded" "$work/vips" "$work/home"

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
# Copies under distinct names, round after round, until there are at least count of them.
copy_until() {
  local sources=$1 dest=$2 count=$3 n=0
  while [ "$n" -lt "$count" ]; do
    while read -r f; do
      cp "$f" "$dest/photo$(printf %04d $n).jpg"
      n=$((n + 1))
    done <"$sources"
  done
}
copy_until "$work/sources" "$work/photos" 140
# The photographs without any embedded preview: plb has to decode each, as the peers do.
while read -r f; do [ -z "$(exiv2 -pp "$f" 2>/dev/null)" ] && echo "$f"; done <"$work/sources" >"$work/plain"
copy_until "$work/plain" "$work/decoded" 70

megapixels() {
  for f in "$1"/*; do djpeg -scale 1/8 "$f" | head -c 64 | sed -n 2p; done |
    awk '{ s += $1 * $2 * 64 } END { printf "%.1f", s / NR / 1e6 }'
}

# plb from an empty cache, vipsthumbnail and djpeg on both cores, each a whole command line.
plb_cold='rm -rf "$1"/home; mkdir "$1"/home; HOME="$1"/home XDG_CONFIG_HOME="$1"/home/.config XDG_DATA_HOME="$1"/home/.local/share "$2" thumbs "$3" --size 160 --json'
vips_both_cores='ls "$2"/*.jpg | xargs -P 2 -n 8 vipsthumbnail -s 160 -o "$1/vips/%s.jpg"'
djpeg_both_cores='ls "$2"/*.jpg | xargs -P 2 -I{} djpeg -scale 1/8 -outfile /dev/null {}'

compare() {
  local label=$1 dir=$2 count
  count=$(ls "$dir" | wc -l)
  cat "$dir"/* >/dev/null
  sh -c "$plb_cold" _ "$work" "$plb" "$dir" >"$work/plb.json"
  echo "== $label: $count photographs, $(megapixels "$dir") megapixels on average"
  echo "  plb thumbs: $(cat "$work/plb.json")"
  "$pair" "$rounds" "plb thumbs" "vipsthumbnail" -- sh -c "$plb_cold" _ "$work" "$plb" "$dir" -- \
    sh -c "$vips_both_cores" _ "$work" "$dir" | tee "$work/vips.out"
  "$pair" "$rounds" "plb thumbs" "djpeg -scale 1/8" -- sh -c "$plb_cold" _ "$work" "$plb" "$dir" -- \
    sh -c "$djpeg_both_cores" _ "$work" "$dir" | tee "$work/djpeg.out"
  awk -v n="$count" '
    function median(line, s) { match(line, /median +[0-9.]+/); s = substr(line, RSTART, RLENGTH); sub(/median +/, "", s); return s }
    FNR == 1 { plb[FILENAME] = median($0) }
    FNR == 2 { peer[FILENAME] = median($0) }
    END {
      for (f in peer) if (f ~ /vips\.out$/) { pv = plb[f]; v = peer[f] } else { pd = plb[f]; d = peer[f] }
      printf "  throughput: plb %.1f photos/s, vipsthumbnail %.1f, djpeg floor %.1f\n", n * 1000 / pv, n * 1000 / v, n * 1000 / d
      printf "  plb / vipsthumbnail throughput: %.2fx (goal 2x or more); plb time / djpeg -scale 1/8: %.2fx\n", v / pv, pd / d }
  ' "$work/vips.out" "$work/djpeg.out"
}

compare "cold" "$work/photos"
compare "cold, every photo decoded" "$work/decoded"
head -20 "$work/sources" | xargs "$bench" stages
"$bench" warm 10000
