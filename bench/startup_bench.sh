#!/usr/bin/env bash
# What a person waits for at every plb command, as whole processes beside a peer in one run
# (command_pair_bench alternates the two commands and takes medians):
#   start    plb version beside /bin/true (the floor of starting any process); goal under 10 ms
#   exif     plb exif over 700 photos beside exiv2 over the same files, once printing every EXIF
#            property with its text (exiv2 -pt), once only date and orientation; goal 3x exiv2
#   render   plb render of 14-megapixel photos into 160 x 160 beside djpeg -scale 1/8
#   bench/startup_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
rounds=${2:-21}
plb="$build/bin/plb"
pair="$build/bin/command_pair_bench"
for p in "$plb" "$pair"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
for tool in exiv2 djpeg; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/setup installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/startup_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"
"$here/exif_bench_setup" "$work/photos" 700 2>/dev/null
mapfile -t photos <"$work/photos/list"
cat "${photos[@]}" >/dev/null

echo "== start (plb needs: $(LD_TRACE_LOADED_OBJECTS=1 "$plb" | grep -c '=>') shared libraries)"
"$pair" "$rounds" "plb version" "true" -- "$plb" version -- /bin/true

echo "== exif: ${#photos[@]} photos"
"$pair" "$rounds" "plb exif" "exiv2 -pt" -- "$plb" exif "${photos[@]}" -- exiv2 -q -pt "${photos[@]}"
"$pair" "$rounds" "plb exif --json" "exiv2 date+orientation" -- "$plb" exif --json "${photos[@]}" -- \
  exiv2 -q -K Exif.Photo.DateTimeOriginal -K Exif.Image.Orientation -Pv "${photos[@]}"

# The first two photos of over 3 MB: a progressive one and a baseline one.
find /usr/share/wallpapers -type f -iname '*.jpg' -size +3M | sort | head -2 | while read -r big; do
  echo "== render: $big"
  "$pair" "$rounds" "plb render 160x160" "djpeg -scale 1/8" -- "$plb" render "$big" --size 160x160 --out "$work/r.jpg" -- \
    djpeg -scale 1/8 -outfile "$work/r.ppm" "$big"
done
