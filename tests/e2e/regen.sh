#!/usr/bin/env bash
# Rewrites the goldens of the named end-to-end cases (all when none is named)
# from the current binary. Review the result with `git diff` before committing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
bin=${BIN:-$repo/build/default/gyrolabium}
cd "$here/cases"
if [ $# -eq 0 ]; then set -- */; fi
for c in "$@"; do
  REGEN=1 bash "$here/run_case.sh" "$bin" "$here/cases/${c%/}" "$repo"
done
