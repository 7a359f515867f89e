#!/usr/bin/env bash
# Start-up of the built viewer on the sample book under Xvfb (openbox is started on the display):
# median of 5 starts. usage: bench/startup/run_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-5}"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/startup_bench" "$build/book" --runs "$runs"
