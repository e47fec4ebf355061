#!/usr/bin/env bash
# Builds gyrolabium and runs every test. On Debian or Ubuntu it first installs
# the packages the build needs that are missing (as root with apt-get; as
# another user it prints the one command to run and stops). On other systems
# it builds with what is there; CMake names anything missing.
set -euo pipefail
cd "$(dirname "$0")"

# (gdb and perl drive two of the end-to-end tests.)
packages=(cmake g++ liblapack-dev libblas-dev zlib1g-dev libdeflate-dev libgtest-dev python3 gdb perl)

if command -v dpkg >/dev/null 2>&1; then
  missing=()
  for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  if ((${#missing[@]})); then
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
      apt-get update
      DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    else
      echo "build.sh: the build needs packages that are not installed. Run:" >&2
      echo "  sudo apt-get install ${missing[*]}" >&2
      echo "then ./build.sh again." >&2
      exit 1
    fi
  fi
fi

cmake --workflow --preset default
