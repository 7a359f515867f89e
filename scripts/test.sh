#!/usr/bin/env bash
# Builds the normal and the sanitizer trees and runs every test.
# GUI tests (label gui) run against the real backend under Xvfb. The sanitizer tree replays the fuzz
# targets' seeds and regression inputs (label fuzz) through a plain replay driver; with clang, a
# third tree builds the targets as libFuzzer programs and replays the same inputs through them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
jobs="${TOME_JOBS:-$(nproc)}"

bash "$root/scripts/build.sh" build
bash "$root/scripts/build.sh" build/asan -DTOME_SANITIZE=ON -DTOME_GUI=OFF
fuzz=0
if command -v clang++ >/dev/null; then
  fuzz=1
  cmake -S "$root" -B "$root/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DTOME_FUZZ=ON -DTOME_SANITIZE=ON -DTOME_GUI=OFF >/dev/null
  cmake --build "$root/build/fuzz" --target fuzz_targets -j "$jobs"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
echo "== tests (sanitizer build)"
(cd "$root/build/asan" && ctest --output-on-failure -j "$jobs" -LE gui) || status=1
echo "== tests (normal build, GUI tests under Xvfb)"
(cd "$root/build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$jobs") || status=1
if [ $fuzz -eq 1 ]; then
  echo "== fuzz targets: seeds and regression inputs (sanitizer build)"
  (cd "$root/build/fuzz" && ctest --output-on-failure -j "$jobs" -L fuzz) || status=1
fi
exit $status
