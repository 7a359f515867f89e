#!/usr/bin/env bash
# replay.sh TARGET FOLDER...: runs every file of the existing folders through the fuzz target once
# (missing folders are passed over, so a corpus may be listed before it lands).
set -euo pipefail
target="$1"; shift
inputs=()
for folder in "$@"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do inputs+=("$file"); done < <(find "$folder" -type f ! -name 'README*' -print0 | sort -z)
done
if [ ${#inputs[@]} -eq 0 ]; then
  echo "no inputs in: $*" >&2
  exit 1
fi
echo "replaying ${#inputs[@]} inputs"
exec "$target" -rss_limit_mb=4096 -timeout=60 "${inputs[@]}"
