#!/usr/bin/env bash
# A library under load: 20 books served by one `ebook-pack serve --library`, 64 wrk connections
# (keep-alive) reading small pages across all of them while 16 clients search across books without
# pause. Prints the page answers' requests/s, p50 and p99 (the goal: p99 at most 50 ms), the
# searches answered and refused with 503, and the server's peak resident memory.
# Usage: library-load.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: library-load.sh BUILD_DIR}
pack="$build/tools/ebook-pack"
port=${BENCH_SERVE_PORT:-18640}
seconds=${BENCH_SECONDS:-10}
. "$(dirname "$0")/scratch"
. "$(dirname "$0")/wrk-pair"

mkdir -p "$work/library"
python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
words = ("harbour lighthouse keeper lamp ship storm tide anchor rope sail compass chart "
         "island reef current wave gull fog bell mast").split()
for b in range(20):
    folder = os.path.join(work, "src", "book%02d" % b)
    os.makedirs(folder)
    rng = random.Random(b)
    for p in range(200):
        text = " ".join(rng.choice(words) for _ in range(300 if p else 40))
        open(os.path.join(folder, "p%d.html" % p), "w").write(
            "<html><head><title>Book %d page %d</title></head><body><p>%s</p><a href=\"p%d.html\">next</a></body></html>"
            % (b, p, text, (p + 1) % 200))
PY
for b in $(seq -w 0 19); do
  "$pack" build "$work/src/book$b" -o "$work/library/book$b.ebook" --home /p0.html >/dev/null
done
"$pack" serve --library "$work/library" --port "$port" >"$work/serve.out" 2>"$work/serve.err" &
serve_pid=$!
pids+=($serve_pid)
wait_for_port "$port"
sleep 2
curl -sf "http://127.0.0.1:$port/book07/p0.html" >/dev/null || { echo "no page at /book07/p0.html" >&2; cat "$work/serve.err" >&2; exit 1; }

cat >"$work/pages.lua" <<'LUA'
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", string.format("/book%02d/p0.html", n % 20))
end
LUA
python3 - "$port" "$seconds" >"$work/search.out" <<'PY' &
import sys, threading, time, urllib.request, urllib.error
port, seconds = sys.argv[1], float(sys.argv[2]) + 2
words = "harbour lighthouse keeper lamp ship storm tide anchor".split()
counts = {"200": 0, "503": 0, "other": 0}
lock = threading.Lock()
def client(k):
    end, i = time.time() + seconds, k
    while time.time() < end:
        i += 1
        url = "http://127.0.0.1:%s/.search?q=%s+%s" % (port, words[i % 8], words[(i * 3) % 8])
        try:
            with urllib.request.urlopen(url, timeout=30) as r:
                r.read(); key = "200"
        except urllib.error.HTTPError as e:
            key = "503" if e.code == 503 else "other"
        except Exception:
            key = "other"
        with lock:
            counts[key] += 1
threads = [threading.Thread(target=client, args=(k,)) for k in range(16)]
for t in threads: t.start()
for t in threads: t.join()
print("searches: %(200)d answered, %(503)d refused with 503, %(other)d failed" % counts)
PY
search_pid=$!
pids+=($search_pid)
peak=0
( while kill -0 "$serve_pid" 2>/dev/null; do
    rss=$(awk '/VmHWM/ {print $2}' "/proc/$serve_pid/status" 2>/dev/null || echo 0)
    echo "$rss" >"$work/peak"; sleep 0.5
  done ) &
pids+=($!)
sleep 1
out=$(wrk -t1 -c64 -d"${seconds}s" --latency -s "$work/pages.lua" "http://127.0.0.1:$port")
wait "$search_pid" || true
echo "pages: $(awk '/^Requests\/sec/ {print $2}' <<<"$out") req/s, p50 $(awk '$1 == "50%" {print $2}' <<<"$out"), p99 $(awk '$1 == "99%" {print $2}' <<<"$out"), $(grep -E 'Non-2xx|Socket errors' <<<"$out" || echo 'no errors')"
cat "$work/search.out"
echo "serve's peak resident memory: $(( $(cat "$work/peak") / 1024 )) MiB"
