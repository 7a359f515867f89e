#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [--target NAME]... [cmake options...]
# Without --target it builds everything: programs, book, CD image, test drivers and benchmarks.
set -euo pipefail
dir="$1"; shift
root="$(cd "$(dirname "$0")/.." && pwd)"
targets=()
options=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ] && [ $# -ge 2 ]; then
    targets+=(--target "$2")
    shift 2
  else
    options+=("$1")
    shift
  fi
done
cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$root/$dir" -j "${TOME_JOBS:-$(nproc)}" "${targets[@]}"
