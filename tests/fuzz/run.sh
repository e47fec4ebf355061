#!/usr/bin/env bash
# Builds the fuzz target and runs it for SECONDS (default 60) on a corpus seeded
# from the test data; new crashes land in tests/fuzz/regressions/.
# Usage: tests/fuzz/run.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$repo"/tests/data/*.pdb "$repo"/tests/data/mol/* "$repo"/examples/*.pdb "$here"/regressions/* "$corpus"/ 2>/dev/null || true
"$repo/build/fuzz/tests/fuzz/fuzz_run" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -artifact_prefix="$here/regressions/" -print_final_stats=1 "$corpus"
