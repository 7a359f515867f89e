#!/usr/bin/env bash
# Builds everything and opens the viewer on the sample book.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" build
if [ -x "$root/build/book/tomeview" ]; then
  exec "$root/build/book/tomeview"
fi
echo "Build finished. The viewer (tomeview) is not built yet, so there is nothing to open."
