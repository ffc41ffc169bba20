#!/usr/bin/env bash
# What a reader's browser sees of `ebook-pack serve` against nginx serving the same files from disk
# (gzip on, keep-alive and validators as nginx has them by default): Chromium from the
# distribution, driven by puppeteer-core from the npm registry, opens a first page of a real manual
# with an empty cache, follows a link to a second page that shares its style sheets and scripts, and
# seeks a 30 s WebM video to 25 s. Chromium's own network emulation adds the round trip
# (BENCH_LATENCY_MS, default 40; this machine's kernel has no netem for a delayed namespace).
# Each side runs BENCH_REPEAT times (default 3), alternating; prints the runs and the medians as a
# markdown table. Usage: browser-vs-nginx.sh BUILD_DIR [HTML_DIR] (default: the Python manual
# unpacked from Debian's python3.11-doc under /work/cache/real-books).
set -euo pipefail
build=${1:?usage: browser-vs-nginx.sh BUILD_DIR [HTML_DIR]}
html=${2:-/work/cache/real-books/unpacked/python3.11-doc/usr/share/doc/python3.11/html}
first=${BENCH_FIRST:-/manual/tutorial/index.html}
second=${BENCH_SECOND:-/manual/tutorial/appetite.html}
latency=${BENCH_LATENCY_MS:-40}
repeat=${BENCH_REPEAT:-3}
pack="$build/tools/ebook-pack"
here=$(cd "$(dirname "$0")" && pwd)
npm_dir=${PUPPETEER_DIR:-/work/cache/npm-bench}
serve_port=${BENCH_SERVE_PORT:-18620}
nginx_port=${BENCH_NGINX_PORT:-18621}

need() { command -v "$1" >/dev/null || flock /tmp/ebook-install-deps.lock apt-get install -y -qq "$2" >/dev/null; }
need chromium chromium
need node nodejs
need npm npm
need nginx nginx-light
need ffmpeg ffmpeg
# The manual links its scripts from the distribution's packages.
[ -e /usr/share/javascript/jquery/jquery.js ] || flock /tmp/ebook-install-deps.lock apt-get install -y -qq libjs-jquery >/dev/null
[ -e /usr/share/javascript/underscore/underscore.js ] || flock /tmp/ebook-install-deps.lock apt-get install -y -qq libjs-underscore >/dev/null
if [ ! -d "$npm_dir/node_modules/puppeteer-core" ]; then
  mkdir -p "$npm_dir"
  (cd "$npm_dir" && npm init -y >/dev/null && npm install --silent puppeteer-core@22 >/dev/null)
fi

. "$here/scratch"

. "$here/wrk-pair"

# The same two folders for both sides: the manual, and a page holding a 30 s video.
mkdir -p "$work/site/video"
cp -r "$html" "$work/site/manual"
# Links into /usr/share/javascript that lead nowhere from the unpacked copy get the packages' files.
find "$work/site/manual" -xtype l | while read -r link; do
  found=$(find /usr/share/javascript -name "$(basename "$link")" | head -1)
  [ -n "$found" ] && { rm "$link"; cp "$found" "$link"; }
done
ffmpeg -loglevel error -f lavfi -i testsrc=duration=30:size=320x240:rate=25 -c:v libvpx -b:v 300k \
  "$work/site/video/clip.webm"
printf '<!DOCTYPE html><html><head><title>Clip</title></head><body><video src="clip.webm" preload="auto" controls></video></body></html>\n' \
  >"$work/site/video/index.html"
"$pack" build "$work/site/manual" -o "$work/manual.ebook" --home /index.html >/dev/null
"$pack" build "$work/site/video" -o "$work/video.ebook" --home /index.html >/dev/null

"$pack" serve "$work/manual.ebook" "$work/video.ebook" --port "$serve_port" >"$work/serve.out" 2>"$work/serve.err" &
pids+=($!)
cat >"$work/nginx.conf" <<NGINX
worker_processes $(nproc);
pid $work/nginx.pid;
error_log $work/nginx-error.log;
daemon off;
events { worker_connections 1024; }
http {
  include /etc/nginx/mime.types;
  access_log off;
  sendfile on;
  gzip on;
  gzip_types text/css application/javascript text/javascript application/json image/svg+xml text/xml application/xml;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/site;
  }
}
NGINX
nginx -c "$work/nginx.conf" -e "$work/nginx-error.log" &
pids+=($!)
wait_for_port "$serve_port"
wait_for_port "$nginx_port"

runs="$work/runs.jsonl"
for n in $(seq "$repeat"); do
  for side in serve nginx; do
    port=$serve_port
    [ "$side" = nginx ] && port=$nginx_port
    PUPPETEER_DIR="$npm_dir" node "$here/browser/serve-in-chromium.js" "http://127.0.0.1:$port" \
      "$first" "$second" /video/index.html "$latency" | sed "s/^{/{\"side\":\"$side\",/" >>"$runs"
  done
done
cat "$runs"
python3 - "$runs" <<'PY'
import json, statistics, sys
runs = [json.loads(line) for line in open(sys.argv[1])]
def median(side, part, key):
    return statistics.median(r[part][key] for r in runs if r["side"] == side)
bad = [r for r in runs if r["first"]["status"] != 200 or r["second"]["status"] != 200 or r["first"]["errors"] or r["second"]["errors"]]
if bad:
    print("errors:", json.dumps(bad, indent=1))
    sys.exit(1)
print("| | first page ms | requests | bytes on the wire | second page ms | requests | bytes | video seek to 25 s lands at |")
print("|---|---|---|---|---|---|---|---|")
for side in ("serve", "nginx"):
    landed = [r["video"]["currentTime"] for r in runs if r["side"] == side]
    print("| %s | %d | %d | %d | %d | %d | %d | %s |" % (side, median(side, "first", "ms"), median(side, "first", "requests"),
          median(side, "first", "bytes"), median(side, "second", "ms"), median(side, "second", "requests"),
          median(side, "second", "bytes"), ", ".join("%.1f" % t for t in landed)))
for part in ("first", "second"):
    print("%s page: serve/nginx time %.2f, bytes %.2f" % (part, median("serve", part, "ms") / median("nginx", part, "ms"),
          median("serve", part, "bytes") / median("nginx", part, "bytes")))
PY
