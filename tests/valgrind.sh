#!/usr/bin/env bash
# Runs the built binary under valgrind's memcheck on a real structure in every
# mode, through a pipe, and gzip-compressed in and out; any error or leak fails.
# Usage: tests/valgrind.sh [BINARY], a dynamically linked build (GYRO_STATIC=OFF)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-$repo/build/memcheck/gyrolabium}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
check() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all \
    "$bin" "$@" >/dev/null 2>>memcheck.txt || { cat memcheck.txt; echo "memcheck failed: $*"; exit 1; }
}
cp "$repo/tests/data/1npc.pdb" in.pdb
check in.pdb
check -t in.pdb t.pdb
check -r in.pdb r.pdb
mkfifo pipe
cat in.pdb > pipe &
check -tr pipe p.pdb
wait
gzip -c in.pdb > in.pdb.gz
check -r in.pdb.gz gz.pdb.gz
cat in.pdb.gz > pipe &
check -t pipe p2.pdb
wait
echo "memcheck: clean in every mode"
