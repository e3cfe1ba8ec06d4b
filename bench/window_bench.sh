#!/bin/bash
# The window with a large library. A catalog of 100,000 photos (the real JPEG samples of the test
# data hard-linked many times) in folders of 250, and one of 10,000, is built once; then the
# application runs ROUNDS times on it, from the same catalog and cache each time, with a script of
# window steps (PLB_BENCH_SCRIPT) and reports:
#   start    the process's start to the first screen of thumbnails drawn, on the folder the last
#            run left open, whose thumbnails are cached; beside plb tags, the whole process that
#            opens the same catalog as the application's start does and closes it again (beside cat
#            of the catalog file, command_pair_bench alternating the two)
#   cold     the 10,000-photo folder, never shown before, opened to its first screen drawn
#   memory   the resident memory after scrolling through that folder screen by screen to its end
#            (and before opening it, for comparison)
# Goals: start within 1 s, cold folder within 150 ms, memory under 500 MB. Medians of the rounds.
# The window runs under xvfb-run when it is there (an X server with a real screen), else offscreen.
#   bench/window_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
rounds=${2:-3}
app="$build/bin/plumora-browser"
plb="$build/bin/plb"
pair="$build/bin/command_pair_bench"
for p in "$app" "$plb" "$pair"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
samples=${PLB_TESTDATA_DIR:-$here/../../shared/testdata}/exif-samples/jpg
# The library's shape; smaller ones only to try the script out.
folders=${WINDOW_BENCH_FOLDERS:-360} per_folder=${WINDOW_BENCH_PER_FOLDER:-250} big=${WINDOW_BENCH_BIG:-10000}

work=$(mktemp -d "${TMPDIR:-/tmp}/window_bench.XXXXXX")
# WINDOW_BENCH_KEEP=1 keeps the library and the last report for a look afterwards.
if [ -n "${WINDOW_BENCH_KEEP:-}" ]; then echo "keeping $work" >&2; else trap 'rm -rf "$work"' EXIT; fi
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR" "$work/unique" "$work/lib"
mkdir -m 700 "$work/runtime"
data="$XDG_DATA_HOME/Morvane/PlumoraBrowser/Data"
now_ms() { local us=${EPOCHREALTIME/./}; echo $((us / 1000)); }

# The window's runs: under an X server of a desktop's size when there is one to start.
if command -v xvfb-run >/dev/null; then
  run_window() { timeout 900 xvfb-run -a -s "-screen 0 1920x1080x24" "$app" >"$work/app.out" 2>&1; }
  display="xvfb-run"
else
  run_window() { QT_QPA_PLATFORM=offscreen timeout 900 "$app" >"$work/app.out" 2>&1; }
  display="offscreen"
fi
# Runs the window with the steps given, one an argument; the report lands in $work/report.
window_steps() {
  printf '%s\n' "$@" >"$work/script"
  : >"$work/report"
  PLB_BENCH_SCRIPT="$work/script" PLB_BENCH_REPORT="$work/report" run_window ||
    { echo "the window failed; its output:" >&2; tail -20 "$work/app.out" >&2; exit 1; }
}

# --- The library, built once --------------------------------------------------------------------
t0=$(now_ms)
find "$samples" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 | sort -z |
  xargs -0 -I{} sh -c 'cp "$1" "$2/$(printf %03d $(ls "$2" | wc -l)).jpg"' _ {} "$work/unique"
uniques=$(ls "$work/unique" | wc -l)
[ "$uniques" -gt 0 ] || { echo "no JPEG files in $samples" >&2; exit 1; }
# Hard links, many to a file, under camera-like names: one process makes them all.
start_folder=$(python3 - "$work/unique" "$work/lib" "$folders" "$per_folder" <<'EOF'
import os, sys
unique, lib, folders, per_folder = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
files = sorted(os.path.join(unique, f) for f in os.listdir(unique))
n = 0
for i in range(folders):
    folder = os.path.join(lib, "%d" % (2015 + i // 60), "%02d-%02d" % (1 + i % 60 // 5, 1 + i % 5 * 6))
    os.makedirs(folder)
    for j in range(per_folder):
        os.link(files[n % len(files)], os.path.join(folder, "IMG_%04d.JPG" % (j + 1)))
        n += 1
    if i == folders // 2:
        start = folder
print(start)  # the folder in the middle: where the last run left off
EOF
)
"$plb" add "$work/lib" >/dev/null
"$plb" thumbs "$start_folder" >/dev/null
# One run of the window leaves the start folder open for the next start; the 10,000-photo folder
# comes afterwards, so that nothing of it was ever shown or cached.
window_steps "open $start_folder" quit
big_folder="$work/lib/2024/08-15"
mkdir -p "$big_folder"
python3 - "$work/unique" "$big_folder" "$big" <<'EOF'
import os, sys
unique, folder, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
files = sorted(os.path.join(unique, f) for f in os.listdir(unique))
for j in range(count):
    os.link(files[j % len(files)], os.path.join(folder, "DSC%05d.JPG" % (j + 1)))
EOF
"$plb" update >/dev/null 2>&1
items=$(find "$work/lib" -type f | wc -l)
cp -a "$data" "$work/data.kept"
t1=$(now_ms)
echo "== window: $items photos ($uniques distinct files) in $((folders + 1)) folders, one of $big; built in $(((t1 - t0) / 1000)) s; $display, $(nproc) cores"

# --- The rounds ---------------------------------------------------------------------------------
# Each round starts twice from the kept catalog and cache: once the cold folder is opened three
# seconds after the first screen, when the start's own background work (the updater's pass over
# the library, the service page) has settled, then scrolled to its end; once it is opened at
# once, amid that work.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { awk -v key="$1" -v n="$2" '$1 == key { print $n }' "$work/report"; }
fresh_data() {
  rm -rf "$data"
  cp -a "$work/data.kept" "$data"
}
incomplete() {
  echo "round $1: the report is incomplete:" >&2
  cat "$work/report" >&2
  exit 1
}
for f in start_ms cold_ms at_once_ms rss_kb rss_before_kb; do : >"$work/$f"; done
for round in $(seq "$rounds"); do
  fresh_data
  window_steps "wait 3000" rss "open $big_folder" scroll-end rss quit
  start=$(field first-screen-drawn 2)
  shown=$(field start-folder-shown 2)
  cold=$(field folder-first-screen 3)
  rss_before=$(field rss 3 | head -1)
  rss=$(field rss 3 | tail -1)
  [ -n "$start" ] && [ -n "$cold" ] && [ -n "$rss" ] || incomplete "$round"
  screens=$(field scrolled-end 3)
  peak=$(field rss 4 | tail -1)
  kept=$(field rss 5 | tail -1)
  fresh_data
  window_steps "open $big_folder" quit
  at_once=$(field folder-first-screen 3)
  [ -n "$at_once" ] || incomplete "$round"
  echo "  round $round: start $start ms (the start folder shown at $shown ms); cold folder $cold ms ($at_once ms opened at once); $screens screens" \
    "scrolled, resident $((rss / 1024)) MB (peak $((peak / 1024)) MB; $((rss_before / 1024)) MB before opening it; thumbnail pixmaps $((kept / 1024)) MB)"
  echo "$start" >>"$work/start_ms"
  echo "$cold" >>"$work/cold_ms"
  echo "$at_once" >>"$work/at_once_ms"
  echo "$rss" >>"$work/rss_kb"
  echo "$rss_before" >>"$work/rss_before_kb"
done
cat "$data/OstraData.qdb" >/dev/null
"$pair" "$rounds" "plb tags (catalog open)" "cat of the catalog" -- "$plb" tags -- cat "$data/OstraData.qdb" |
  tee "$work/pair.out"
open_ms=$(awk 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "median") print $(i + 1) }' "$work/pair.out")
awk -v s="$(median <"$work/start_ms")" -v c="$(median <"$work/cold_ms")" -v a="$(median <"$work/at_once_ms")" \
  -v r="$(median <"$work/rss_kb")" -v b="$(median <"$work/rss_before_kb")" -v l="$open_ms" -v n="$rounds" -v big="$big" 'BEGIN {
  printf "start to the first screen drawn: median %.0f ms of %d (goal within 1000 ms); plb tags on the same catalog as a whole process %.0f ms: the window takes %.1fx\n", s, n, l, s / l
  printf "cold folder of %d to its first screen drawn: median %.0f ms (goal within 150 ms); opened at once after the first screen %.0f ms\n", big, c, a
  printf "resident memory after scrolling through it: median %.0f MB (goal under 500 MB); %.0f MB before opening it\n", r / 1024, b / 1024 }'
