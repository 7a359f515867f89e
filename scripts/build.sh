#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [--target NAME]... [cmake options...]
# Without --target it builds everything: programs, book, CD image, test drivers and benchmarks.
#
# A tree is configured only when it is not yet, or when an option given here is not what its cache
# holds; otherwise the build itself runs cmake again should a list file have changed. New trees use
# Ninja when it is installed: its do-nothing build takes a fraction of a second.
set -euo pipefail
dir="$1"; shift
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/$dir"
targets=()
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ] && [ $# -ge 2 ]; then
    targets+=(--target "$2")
    shift 2
  else
    options+=("$1")
    shift
  fi
done

# Whether the tree's cache holds every option as given (only -DNAME[:TYPE]=VALUE can be checked),
# and was made from this source folder, with a generated build system beside it.
configured() {
  local cache="$build/CMakeCache.txt" option name value line
  [ -f "$cache" ] || return 1
  [ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || return 1
  for option in "${options[@]}" "-DCMAKE_HOME_DIRECTORY=$root"; do
    [[ "$option" =~ ^-D([A-Za-z0-9_.+-]+)(:[A-Z]+)?=(.*)$ ]] || return 1
    name="${BASH_REMATCH[1]}" value="${BASH_REMATCH[3]}"
    line="$(grep -m1 "^$name:[A-Z]*=" "$cache")" || return 1
    [ "${line#*=}" = "$value" ] || return 1
  done
}

if ! configured; then
  generator=()
  if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null && [[ " ${options[*]}" != *" -G"* ]]; then
    generator=(-G Ninja)
  fi
  cmake -S "$root" -B "$build" "${generator[@]}" "${options[@]}" >/dev/null
fi
cmake --build "$build" -j "${TOME_JOBS:-$(nproc)}" "${targets[@]}"
