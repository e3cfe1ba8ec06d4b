#!/bin/bash
# Every figure of the README's performance table in one run, each beside its peer: start-up, EXIF
# reading and render as whole processes, the catalog load, cold and warm thumbnails, the window
# with a large library.
#   bench/speed_bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
echo "### $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$here/startup_bench.sh" "$build"
echo "== catalog"
"$here/engine_data_bench.sh" "$build"
"$here/thumbs_bench.sh" "$build"
"$here/window_bench.sh" "$build"
