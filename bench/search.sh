#!/usr/bin/env bash
# Book-wide search on a generated manual of 2,000 pages (about 20 MB of HTML): the index build
# against `ebook-pack extract` writing the same book to disk, queries against `grep -ril` over the
# extracted pages, and the index's memory against the HTML's size, all measured in this run.
# Goals: build <= 2x extract, median query >= 100x faster than grep, memory <= 1.5x the HTML.
set -euo pipefail
build=${1:?usage: bench/search.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
pack="$build/tools/ebook-pack"
probe="$build/bench/search/search_probe"
pages=${SEARCH_BENCH_PAGES:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "load: $(uptime)"
python3 "$here/search/make-book-source.py" "$work/src" "$pages" 10240
"$pack" build "$work/src" -o "$work/book.ebook" --title "Generated manual" --home /page0000.htm >/dev/null

# Extraction to disk, three times into a fresh folder; the page cache is warm after the build.
for run in 1 2 3; do
  rm -rf "$work/out"
  start=$(now)
  "$pack" extract "$work/book.ebook" -d "$work/out"
  echo "$(now) - $start" | bc
done | median >"$work/extract"
extract=$(cat "$work/extract")

"$probe" "$work/book.ebook" "$work/queries.txt" >"$work/probe"
index=$(awk '/^index_seconds/ { print $2 }' "$work/probe")
html=$(awk '/^html_bytes/ { print $2 }' "$work/probe")
memory=$(awk '/^memory_bytes/ { print $2 }' "$work/probe")
peak=$(awk '/^peak_memory_bytes/ { print $2 }' "$work/probe")

# grep over the extracted pages for each query: a word, all of two words, or a phrase.
grep_query() {
  local query=$1
  if [[ $query == \"*\" ]]; then
    grep -ril -- "${query//\"/}" "$work/out"
  elif [[ $query == *" "* ]]; then
    grep -rilZ -- "${query%% *}" "$work/out" | xargs -0 -r grep -il -- "${query#* }"
  else
    grep -ril -- "$query" "$work/out"
  fi
}

printf '%-42s %8s %12s %12s %8s\n' query pages "search ms" "grep ms" ratio
ratios=()
while read -r _ seconds _ total query; do
  grep_seconds=$(for run in 1 2 3; do
    start=$(now)
    grep_query "$query" >/dev/null || true
    echo "$(now) - $start" | bc
  done | median)
  ratio=$(echo "$grep_seconds / $seconds" | bc -l)
  ratios+=("$ratio")
  printf '%-42s %8d %12.3f %12.1f %8.0f\n' "$query" "$total" "$(echo "$seconds * 1000" | bc -l)" \
    "$(echo "$grep_seconds * 1000" | bc -l)" "$ratio"
done < <(grep '^query_seconds' "$work/probe")
median_ratio=$(printf '%s\n' "${ratios[@]}" | median)

verdict() { if [ "$(echo "$1" | bc -l)" = 1 ]; then echo "met"; else echo "MISSED"; fi; }
echo
printf 'pages %d, HTML %.1f MB\n' "$pages" "$(echo "$html / 1000000" | bc -l)"
printf 'index build %.3f s, extract %.3f s: %.2fx (goal <= 2x) %s\n' "$index" "$extract" \
  "$(echo "$index / $extract" | bc -l)" "$(verdict "$index <= 2 * $extract")"
printf 'median query speed-up over grep -ril: %.0fx (goal >= 100x) %s\n' "$median_ratio" \
  "$(verdict "$median_ratio >= 100")"
printf 'index memory %.1f MB (peak while building %.1f MB): %.2fx the HTML (goal <= 1.5x) %s\n' \
  "$(echo "$memory / 1000000" | bc -l)" "$(echo "$peak / 1000000" | bc -l)" "$(echo "$memory / $html" | bc -l)" \
  "$(verdict "$memory <= 1.5 * $html")"
echo "load: $(uptime)"
