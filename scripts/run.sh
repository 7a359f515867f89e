#!/usr/bin/env bash
# Builds the programs, the sample book and the CD image (no tests), and opens the viewer on the book.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" build --target programs
# What the book's installer records before its first start: the sample's background track, unless
# the settings store holds a choice already.
if [ -x "$root/build/bin/booksetup" ]; then
  "$root/build/bin/booksetup" orbel_lumen lumen
fi
if [ -x "$root/build/cd/book/book" ]; then
  exec "$root/build/cd/book/book"
fi
echo "Build finished. The viewer (tomeview) is not built yet, so there is nothing to open."
