#!/usr/bin/env bash
# Shooting date and orientation of 5,000 photos (the EXIF samples and large real JPEGs, copied
# many times), read by our scanner, by exiv2 and by exiftool over the same files in one run, with
# warm caches for all three. Prints each time and the two ratios.
#   bench/exif_bench.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
build=${1:-build/release}
work=${2:-$build/bench-exif}
bench="$build/bin/exif_read_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target exif_read_bench)" >&2; exit 1; }
for tool in exiv2 exiftool; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/setup installs it)" >&2; exit 1; }
done
"$(dirname "$0")/exif_bench_setup" "$work" 5000
list="$work/list"
files=$(wc -l <"$list")

# Warm the page cache so that every reader is timed on the same, cached bytes.
xargs -d '\n' cat <"$list" >/dev/null

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

start=$(now)
ours=$("$bench" "$list")
ours_s=$(elapsed "$start" "$(now)")

start=$(now)
exiv2_dates=$(xargs -d '\n' exiv2 -q -K Exif.Photo.DateTimeOriginal -K Exif.Image.Orientation -Pv <"$list" 2>/dev/null |
  grep -c ':' || true)
exiv2_s=$(elapsed "$start" "$(now)")

start=$(now)
exiftool_dates=$(exiftool -fast2 -q -q -T -DateTimeOriginal -Orientation -@ "$list" 2>/dev/null | grep -vc '^-' || true)
exiftool_s=$(elapsed "$start" "$(now)")

echo "files: $files"
echo "ours:     ${ours_s}s  ($ours)"
echo "exiv2:    ${exiv2_s}s  (date lines: $exiv2_dates)"
echo "exiftool: ${exiftool_s}s  (rows with a date: $exiftool_dates)"
awk -v o="$ours_s" -v e="$exiv2_s" -v x="$exiftool_s" 'BEGIN {
  if (o <= 0) o = 0.001
  printf "exiv2 / ours:    %.1fx (goal 5x)\nexiftool / ours: %.1fx (goal 50x)\n", e / o, x / o }'
