#!/usr/bin/env bash
# Runs one end-to-end case: the built binary in a fresh temporary folder, then
# compares standard output, standard error, exit status and the output file
# byte for byte with the case's golden files, and checks that no file that was
# there before the run (the input, an existing output) changed.
#
# A case folder holds:
#   args         one argument a line (absent: no arguments)
#   in.pdb       the input, copied into the run folder; or
#   input        a path below the repository whose file is copied as in.pdb
#   setup.sh     optional, run in the run folder first (links, FIFOs, big inputs)
#   run.sh       optional, replaces the plain call; $BIN names the binary, $REPO
#                the repository
#   stdout stderr status   the goldens
#   out.pdb      the expected output file; or no-out: no out.pdb may exist
#   same-as      instead of goldens: the name of a case whose goldens must hold
#   unsanitized  the case limits the address space (ulimit -v), which the
#                sanitizers' shadow memory cannot live with: skipped there
# With REGEN=1 the goldens are written from this run instead of compared.
set -u
bin=$1 case=$2 repo=$3
if [ -f "$case/unsanitized" ] && [ "${GYRO_SANITIZED:-0}" = 1 ]; then
  echo "skipped in the sanitizer build"; exit 77
fi
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
run="$work/run" got="$work/got"
mkdir "$run" "$got"

if [ -f "$case/in.pdb" ]; then cp "$case/in.pdb" "$run/in.pdb"; fi
if [ -f "$case/input" ]; then cp "$repo/$(cat "$case/input")" "$run/in.pdb"; fi
if [ -f "$case/setup.sh" ]; then
  (cd "$run" && BIN=$bin REPO=$repo bash "$case/setup.sh") || { echo "setup failed"; exit 1; }
fi

# Fingerprints of every file present before the run (links not followed).
before=$(cd "$run" && find . -type f -o -type l | sort | while read -r f; do
  if [ -L "$f" ]; then echo "$f -> $(readlink "$f")"; else echo "$f $(sha256sum < "$f")"; fi; done)

args=()
if [ -f "$case/args" ]; then mapfile -t args < "$case/args"; fi
if [ -f "$case/run.sh" ]; then
  (cd "$run" && BIN=$bin REPO=$repo timeout 120 bash "$case/run.sh" >"$got/stdout" 2>"$got/stderr" </dev/null)
else
  (cd "$run" && timeout 120 "$bin" "${args[@]}" >"$got/stdout" 2>"$got/stderr" </dev/null)
fi
echo $? >"$got/status"

after=$(cd "$run" && for f in $(echo "$before" | awk '{print $1}'); do
  if [ -L "$f" ]; then echo "$f -> $(readlink "$f")";
  elif [ -f "$f" ]; then echo "$f $(sha256sum < "$f")"; else echo "$f missing"; fi; done)

golden=$case
if [ -f "$case/same-as" ]; then golden="$(dirname "$case")/$(cat "$case/same-as")"; fi

if [ "${REGEN:-0}" = 1 ]; then
  if [ "$golden" != "$case" ]; then echo "kept $case (same as $(cat "$case/same-as"))"; exit 0; fi
  cp "$got/stdout" "$got/stderr" "$got/status" "$case/"
  if [ -f "$run/out.pdb" ] && [ ! -L "$run/out.pdb" ] && [ ! -f "$case/no-out" ] \
     && ! echo "$before" | grep -q '^\./out\.pdb '; then
    cp "$run/out.pdb" "$case/out.pdb"
  fi
  echo "regenerated $case"
  exit 0
fi

fail=0
for f in stdout stderr status; do
  if ! cmp -s "$golden/$f" "$got/$f"; then
    echo "--- $f differs:"; diff <(cat -A "$golden/$f") <(cat -A "$got/$f") | head -20; fail=1
  fi
done
if [ "$before" != "$after" ]; then
  echo "--- files present before the run changed:"; diff <(echo "$before") <(echo "$after"); fail=1
fi
if [ -f "$golden/out.pdb" ] && ! cmp -s "$golden/out.pdb" "$run/out.pdb"; then
  echo "--- out.pdb differs:"; diff "$golden/out.pdb" "$run/out.pdb" | head -20; fail=1
fi
if [ -f "$case/no-out" ] && { [ -e "$run/out.pdb" ] || [ -L "$run/out.pdb" ]; }; then
  echo "--- out.pdb exists but must not"; fail=1
fi
exit $fail
