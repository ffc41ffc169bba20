#!/usr/bin/env bash
# ZIM serving: wrk with "Connection: close" against `ebook-pack serve ARCHIVE.zim` (pages read in
# place through libzim) and against kiwix-serve of the same archive, side by side in one run, for a
# page of about 4 KiB and one of about 200 KiB at 8 and 64 clients. Before measuring, both servers
# must answer each page 200 with the same length. Each cell runs BENCH_REPEAT times (default 3),
# the two servers alternating; the table shows the median run and the median of the paired
# ratios. Usage: zim-vs-kiwix.sh BUILD_DIR [ARCHIVE.zim] (default: the PostgreSQL manual built by
# zimwriterfs under /work/cache/real-books/zim). Loopback only; every run is bounded.
set -euo pipefail
build=${1:?usage: zim-vs-kiwix.sh BUILD_DIR [ARCHIVE.zim]}
zim=${2:-/work/cache/real-books/zim/postgresql.zim}
pack="$build/tools/ebook-pack"
repeat=${BENCH_REPEAT:-3}
pack_port=${BENCH_PACK_PORT:-18590}
kiwix_port=${BENCH_KIWIX_PORT:-18591}
command -v kiwix-serve >/dev/null || flock /tmp/ebook-install-deps.lock apt-get install -y -qq kiwix-tools
command -v wrk >/dev/null || flock /tmp/ebook-install-deps.lock apt-get install -y -qq wrk
. "$(dirname "$0")/scratch"
. "$(dirname "$0")/wrk-pair"

# The page whose size is nearest to the target, from ebook-pack's listing (index, stored and
# inflated bytes, name).
page_near() {
  "$pack" list "$zim" | awk -v t="$1" 'NR > 1 && $3 ~ /^[0-9]+$/ && $4 ~ /\.html$/ {
    d = $3 - t; if (d < 0) d = -d; if (best == "" || d < bd) { best = $4; bd = d; size = $3 } }
    END { print best, size }'
}

"$pack" serve "$zim" --port "$pack_port" >/dev/null 2>&1 &
pids+=($!)
# --nosearchbar: pages as stored, without the bar kiwix-serve otherwise injects into each.
kiwix-serve --address=127.0.0.1 --port="$kiwix_port" --nosearchbar "$zim" >/dev/null 2>&1 &
pids+=($!)
wait_for_port "$pack_port"
wait_for_port "$kiwix_port"

# kiwix-serve names the archive after its file; newer versions put content under /content/.
book=$(basename "$zim" .zim)
kiwix_prefix=""
for prefix in "/content/$book" "/$book"; do
  if [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$kiwix_port$prefix/index.html")" = 200 ]; then
    kiwix_prefix=$prefix
    break
  fi
done
[ -n "$kiwix_prefix" ] || { echo "kiwix-serve does not answer index.html of $book" >&2; exit 1; }

echo "kiwix-serve $(kiwix-serve --version 2>&1 | head -1 | awk '{print $2}'), content under $kiwix_prefix; $zim"
echo
echo "| page | bytes | clients | ebook-pack serve req/s | p50 | p99 | errors | kiwix-serve req/s | p50 | p99 | errors | ratio (median) | ratios |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for target in ${BENCH_SIZES:-4096 204800}; do
  read -r page size < <(page_near "$target")
  pack_url="http://127.0.0.1:$pack_port$page"
  kiwix_url="http://127.0.0.1:$kiwix_port$kiwix_prefix$page"
  # Both answer 200 with the page's bytes before anything is measured: ebook-pack serve the stored
  # page as it is, kiwix-serve the same with the root link it adds to each HTML page's head.
  for url in "$pack_url" "$kiwix_url"; do
    code=$(curl -s -o "$work/body" -w '%{http_code}' "$url")
    sed 's|<link type="root" href="[^"]*">||' "$work/body" >"$work/stored"
    if [ "$code" != 200 ] || [ "$(stat -c %s "$work/stored")" != "$size" ]; then
      echo "$url answers $code with $(stat -c %s "$work/body") bytes, not 200 with the page's $size" >&2
      exit 1
    fi
    echo "$url: 200, $(stat -c %s "$work/body") bytes" >&2
  done
  for clients in ${BENCH_CLIENTS:-8 64}; do
    echo "| $page | $size | $clients | $(paired_cell "$pack_url" "$kiwix_url" "$clients" 1 "$repeat")"
  done
done
