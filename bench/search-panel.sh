#!/usr/bin/env bash
# The viewer's search panel on the 286 MB library (PostgreSQL, Python and every Handbook language
# under one home page) with the index kept in the book: each query typed letter by letter, 80 ms
# apart, and the time from the last key until the panel shows its titles and results.
# Goal: within 100 ms. Also the index's size and build time against a build without it.
set -euo pipefail
build=${1:?usage: bench/search-panel.sh BUILD_DIR [LIBRARY_DIR]}
library=${2:-/work/cache/real-books/library}
pack="$build/tools/ebook-pack"
probe="$build/bench/viewer/search_panel_probe"
if [ ! -x "$probe" ]; then
  echo "search_panel_probe not built (EBOOK_BUILD_BENCH and EBOOK_BUILD_GUI): skipped"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load: $(uptime)"
start=$(date +%s.%N)
"$pack" build "$library" -o "$work/bare.ebook" --no-index >/dev/null
middle=$(date +%s.%N)
"$pack" build "$library" -o "$work/library.ebook" >/dev/null
end=$(date +%s.%N)
bare=$(stat -c %s "$work/bare.ebook")
full=$(stat -c %s "$work/library.ebook")
awk -v b="$bare" -v f="$full" -v s="$start" -v m="$middle" -v e="$end" 'BEGIN {
  printf "index: %.1f MB, %.0f%% of the book without it; build %.2f s against %.2f s without\n",
    (f - b) / 1e6, 100 * (f - b) / b, e - m, m - s }'
QT_QPA_PLATFORM=offscreen "$probe" "$work/library.ebook" vacuum "vacuum full" "create index" json borrow \
  "window functions" asyncio pg_hba.conf "list comprehension" dataclass 2>/dev/null
