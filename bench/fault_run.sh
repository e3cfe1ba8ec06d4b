#!/bin/sh
# Fault run: random operations on a library of real photos, with faults injected, and every photo's
# tags, albums (nested tags) and day compared with a model that this run keeps itself. It reports
# how many photos were lost (a tag, album or the photo itself gone from the catalog) and how many
# misplaced (a tag or a day that belongs to no such photo).
#   bench/fault_run.sh [BUILD_DIR] [--ops N] [--photos N] [--seed S] [--work DIR] [--keep]
# Defaults: build/release, 200 operations, 2,000 photos, a random seed (printed, to repeat a run).
# The photos are copies of the test photos, each made unique by a comment segment carrying its
# number, so that the run can tell which photo a file is wherever it went. One library folder is
# on the disk, the other on a tmpfs (/dev/shm) when there is one, so that moves cross volumes.
# Operations: tag and untag, plb mv within and across volumes, plb rename, mv of the shell (the
# program learns of it only at the next plb update), plb update, and SIGKILL of one of these plb
# commands at a random moment. The run uses its own HOME and XDG folders: the user's catalog is
# never touched. Exit status 0 when nothing was lost or misplaced, 1 otherwise.
set -eu
here=$(dirname "$0")
build=build/release
case "${1:-}" in
  -*|'') ;;
  *) build=$1; shift ;;
esac
exec python3 "$here/fault_run.py" --plb "$build/bin/plb" --photos-from "${PLB_TESTDATA_DIR:-/work/shared/testdata}" "$@"
