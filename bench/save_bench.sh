#!/bin/bash
# Saving photos at 1600 pixels beside vipsthumbnail --size 1600 and ImageMagick convert -resize:
# the same 100 photographs of 4 to 15 megapixels, the same run, best wall-clock time of three
# rounds each. plb save does what the saving wizard does (decode, turn, resize, colour pass,
# encode, EXIF carried over); the peers only resize.
#   bench/save_bench.sh [BUILD_DIR] [FILE...]
# Without files, the JPEG wallpapers of 4 to 15 megapixels (bench/decode_setup.sh installs them),
# repeated up to 100 files.
set -eu
here=$(dirname "$0")
build=${1:-build}
[ $# -gt 0 ] && shift
plb="$build/bin/plb"
[ -x "$plb" ] || { echo "build $plb first" >&2; exit 1; }
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail missing (libvips-tools)" >&2; exit 1; }
command -v convert >/dev/null || { echo "convert missing (imagemagick)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/save_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# plb keeps its catalog below the home folders: a scratch one for the bench.
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
mkdir -p "$HOME" "$work/src"
list="$work/list"
if [ $# -gt 0 ]; then
  for f in "$@"; do echo "$f"; done >"$list"
else
  "$here/decode_setup.sh"
  find /usr/share/wallpapers /usr/share/backgrounds -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) 2>/dev/null |
    sort | while read -r f; do
      size=$(djpeg -scale 1/8 "$f" 2>/dev/null | head -c 64 | sed -n 2p)
      w=${size% *}; h=${size#* }
      if [ -n "$w" ] && [ $((w * h * 64)) -ge 4000000 ] && [ $((w * h * 64)) -le 15000000 ]; then echo "$f"; fi
    done >"$list"
fi
[ -s "$list" ] || { echo "no photographs to save" >&2; exit 1; }
# 100 files (links to the photographs, repeated as needed).
n=0
while [ $n -lt 100 ]; do
  while read -r f && [ $n -lt 100 ]; do
    n=$((n + 1)); ln -s "$f" "$work/src/p$n.jpg"
  done <"$list"
done
files=("$work"/src/p*.jpg)
for f in "${files[@]}"; do cat "$f" >/dev/null; done

ms() { echo $(( $(date +%s%N) / 1000000 )); }
best() {
  local b=""
  for _ in 1 2 3; do
    rm -rf "$work/out"; mkdir -p "$work/out"
    local s; s=$(ms); "$@" >/dev/null 2>&1; local t=$(( $(ms) - s ))
    if [ -z "$b" ] || [ "$t" -lt "$b" ]; then b=$t; fi
  done
  echo "$b"
}
magick_all() { for f in "${files[@]}"; do convert "$f" -resize 1600x1600 "$work/out/$(basename "$f")"; done; }
plb_ms=$(best "$plb" save "$work/out" --size 1600x1600 --quality 90 "${files[@]}")
vips_ms=$(best vipsthumbnail --size 1600 -o "$work/out/%s.jpg[Q=90]" "${files[@]}")
magick_ms=$(best magick_all)
echo "files ${#files[@]} plb_ms $plb_ms vipsthumbnail_ms $vips_ms convert_ms $magick_ms"
awk -v p="$plb_ms" -v v="$vips_ms" -v m="$magick_ms" 'BEGIN {
  printf "plb save / vipsthumbnail: %.2fx, plb save / convert -resize: %.2fx (goal: below 1x for both)\n", p / v, p / m }'
