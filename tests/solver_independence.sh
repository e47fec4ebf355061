#!/usr/bin/env bash
# The report and the moved structure must not depend on which LAPACK the
# machine has installed. OpenBLAS's and ATLAS's liblapack.so.3 are unpacked
# into a temporary folder (the machine's alternatives stay as they are) and put
# first on LD_LIBRARY_PATH; every real structure of the repository, in report
# and -r mode, must give the same bytes as without them. Both libraries change
# the moments of crambin when they are the ones a binary loads.
# Usage: tests/solver_independence.sh BINARY
set -euo pipefail
bin=$(realpath "$1")
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

if ldd "$bin" 2>/dev/null | grep -q liblapack; then
  echo "$bin loads a shared LAPACK"; exit 1
fi
packages=(libopenblas0-pthread libatlas3-base)
apt-get download "${packages[@]}" >/dev/null 2>&1 ||
  { apt-get update >/dev/null && apt-get download "${packages[@]}" >/dev/null; }
for deb in ./*.deb; do dpkg -x "$deb" root; done
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
libs=("$work/root/usr/lib/$arch/openblas-pthread" "$work/root/usr/lib/$arch/atlas")
for lib in "${libs[@]}"; do [ -e "$lib/liblapack.so.3" ] || { echo "no $lib/liblapack.so.3"; exit 1; }; done

# One run's standard output, standard error, status and output file, in one text.
run() {
  local dir out=o.pdb
  dir=$(mktemp -d -p "$work")
  (cd "$dir" && "$@" >stdout 2>stderr; echo "status $?" >>stdout)
  cat "$dir/stdout" "$dir/stderr" "$dir/$out" 2>/dev/null
  rm -rf "$dir"
}

checked=0 failed=0
for pdb in "$repo"/examples/*.pdb "$repo"/tests/data/*.pdb; do
  for args in "" "-r"; do
    # shellcheck disable=SC2086
    want=$(run "$bin" $args "$pdb" ${args:+o.pdb} | sha256sum)
    for lib in "${libs[@]}"; do
      # shellcheck disable=SC2086
      got=$(LD_LIBRARY_PATH=$lib run "$bin" $args "$pdb" ${args:+o.pdb} | sha256sum)
      checked=$((checked + 1))
      if [ "$got" != "$want" ]; then
        echo "differs with $(basename "$(dirname "$lib")")/$(basename "$lib"): $args $pdb"
        failed=$((failed + 1))
      fi
    done
  done
done
echo "$checked runs under OpenBLAS and ATLAS, $failed differ"
[ "$failed" -eq 0 ]
