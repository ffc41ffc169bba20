#!/usr/bin/env bash
# HTTP load: wrk with "Connection: close" (BENCH_KEEPALIVE=1: keep-alive on both sides) against `ebook-pack serve` and against nginx serving the
# same pages from disk (keep-alive off, one worker per core), for 4 KiB and 200 KiB pages at
# concurrency 1, 8 and 64, with one and with two wrk threads (with one thread the client takes one
# core and leaves the other to the server; with two it competes with the server for both). Each
# cell runs BENCH_REPEAT times (default 3), serve and nginx alternating, and shows the medians, so
# that a busy moment of a shared machine does not decide it. BENCH_SIZES (bytes), BENCH_CLIENTS
# and BENCH_THREADS pick other cells. Prints one markdown table. Loopback only; every run is
# bounded.
set -euo pipefail
build=${1:?usage: http-vs-nginx.sh BUILD_DIR}
pack="$build/tools/ebook-pack"
repeat=${BENCH_REPEAT:-3}
book_port=${BENCH_BOOK_PORT:-18580}
nginx_port=${BENCH_NGINX_PORT:-18581}
. "$(dirname "$0")/scratch"
. "$(dirname "$0")/wrk-pair"

# HTML-like pages of a given size, ten of them, all different.
make_pages() {
  local dir=$1 size=$2
  mkdir -p "$dir"
  python3 - "$dir" "$size" <<'PY'
import random, sys
folder, size = sys.argv[1], int(sys.argv[2])
words = "book page viewer chapter section table figure index server browser pack".split()
for n in range(10):
    rng = random.Random(n)
    parts, length = ["<html><head><title>Page %d</title></head><body>\n" % n], 0
    while length < size:
        line = "<p>" + " ".join(rng.choice(words) for _ in range(12)) + "</p>\n"
        parts.append(line); length += len(line)
    text = "".join(parts)[: size - 15] + "</body></html>\n"
    open("%s/p%d.htm" % (folder, n), "w").write(text)
PY
}

for size in ${BENCH_SIZES:-4096 204800}; do
  make_pages "$work/pages-$size" "$size"
  "$pack" build "$work/pages-$size" -o "$work/book-$size.ebook" --home /p0.htm >/dev/null 2>&1
done

cat >"$work/nginx.conf" <<NGINX
worker_processes $(nproc);
pid $work/nginx.pid;
error_log $work/nginx-error.log;
daemon off;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout $([ "${BENCH_KEEPALIVE:-0}" = 1 ] && echo 65 || echo 0);
  sendfile on;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work;
  }
}
NGINX
nginx -c "$work/nginx.conf" -e "$work/nginx-error.log" &
pids+=($!)
wait_for_port "$nginx_port"

echo "| page | clients | wrk threads | ebook-pack serve req/s | p50 | p99 | errors | nginx req/s | p50 | p99 | errors | ratio (median) | ratios |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for size in ${BENCH_SIZES:-4096 204800}; do
  "$pack" serve "$work/book-$size.ebook" --port "$book_port" >/dev/null 2>&1 &
  serve_pid=$!
  pids+=($serve_pid)
  wait_for_port "$book_port"
  same_answers "$work/check" "http://127.0.0.1:$book_port/p3.htm" "http://127.0.0.1:$nginx_port/pages-$size/p3.htm"
  for threads in ${BENCH_THREADS:-1 2}; do
  for clients in ${BENCH_CLIENTS:-1 8 64}; do
    [ "$clients" -lt "$threads" ] && continue
    echo "| $((size / 1024)) KiB | $clients | $threads | $(paired_cell "http://127.0.0.1:$book_port/p3.htm" \
      "http://127.0.0.1:$nginx_port/pages-$size/p3.htm" "$clients" "$threads" "$repeat")"
  done
  done
  kill -INT "$serve_pid"
  wait "$serve_pid" || { echo "ebook-pack serve did not stop cleanly" >&2; exit 1; }
done
