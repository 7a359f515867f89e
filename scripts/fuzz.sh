#!/usr/bin/env bash
# Runs one fuzz target for real: scripts/fuzz.sh TARGET MINUTES [libFuzzer options...]
# TARGET is a folder name of tests/fuzz/regressions (zip_dir, zip_extract, bmp, ...). Builds the
# clang tree build/fuzz when needed, grows build/fuzz/corpus/TARGET from the seeds and the
# regression inputs, and leaves crashes in build/fuzz/findings/TARGET (add a fixed one to the
# target's regression folder).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: scripts/fuzz.sh TARGET MINUTES [libFuzzer options...]" >&2; exit 2; }
target="$1"; minutes="$2"; shift 2
root="$(cd "$(dirname "$0")/.." && pwd)"
tree="$root/build/fuzz"

if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DTOME_FUZZ=ON -DTOME_SANITIZE=ON -DTOME_GUI=OFF >/dev/null
fi
cmake --build "$tree" --target "fuzz_$target" -j "${TOME_JOBS:-$(nproc)}"
[ -d "$tree/fuzz/seeds/$target" ] || python3 "$root/tests/fuzz/make_seeds.py" "$root" "$tree/fuzz/seeds"

corpus="$tree/fuzz/corpus/$target"
findings="$tree/fuzz/findings/$target"
mkdir -p "$corpus" "$findings"
options=(-max_total_time=$((minutes * 60)) -rss_limit_mb=4096 -timeout=30 -print_final_stats=1
         -artifact_prefix="$findings/")
case "$target" in zip_*) dict=zip ;; *) dict="$target" ;; esac
[ -f "$root/tests/fuzz/$dict.dict" ] && options+=(-dict="$root/tests/fuzz/$dict.dict")
seeds=("$tree/fuzz/seeds/$target")
[ -d "$root/tests/fuzz/regressions/$target" ] && seeds+=("$root/tests/fuzz/regressions/$target")
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$tree/bin/fuzz_$target" "${options[@]}" "$@" "$corpus" "${seeds[@]}"
