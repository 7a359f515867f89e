#!/usr/bin/env bash
# What a second `scripts/run.sh` spends before it starts the viewer, on a tree it has built already:
# the package check and the do-nothing build, median of 5 (booksetup takes milliseconds). The
# viewer's own start is startup_bench's (run_bench.sh). Target: both together within 5 s.
# usage: bench/startup/rerun_bench.sh [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
runs="${1:-5}"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" build --target programs >/dev/null
times=()
for ((run = 1; run <= runs; ++run)); do
  start=$(date +%s%N)
  bash "$root/scripts/deps.sh"
  bash "$root/scripts/build.sh" build --target programs >/dev/null
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
  echo "run $run: ${times[-1]} ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
echo "median of $runs: ${median} ms before the viewer starts"
