#!/usr/bin/env bash
# A library served behind nginx as docs/SERVING.md describes it: `ebook-pack serve --library DIR
# --url-root /library` behind `proxy_pass` with `proxy_set_header Host $host` and a `proxy_cache`.
# Checks, through the proxy, that the library page, a search across books, a search result's link
# and a book page answer 200 with links under /library/, and that the second request for a page
# is a hit of nginx's cache while the library page (no-cache) is revalidated. Prints each check;
# exits 1 on the first that fails. Usage: behind-nginx.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: behind-nginx.sh BUILD_DIR}
pack="$build/tools/ebook-pack"
serve_port=${BENCH_SERVE_PORT:-18630}
proxy_port=${BENCH_PROXY_PORT:-18631}
command -v nginx >/dev/null || flock /tmp/ebook-install-deps.lock apt-get install -y -qq nginx-light >/dev/null
. "$(dirname "$0")/scratch"
. "$(dirname "$0")/wrk-pair"

mkdir -p "$work/library" "$work/src/first" "$work/src/second"
printf '<html><head><title>First book</title></head><body><h1>Lighthouses</h1><p>A lighthouse keeper <a href="two.html">keeps</a> the lamp.</p></body></html>' >"$work/src/first/index.html"
printf '<html><head><title>Two</title></head><body><p>Foghorns and lamps.</p></body></html>' >"$work/src/first/two.html"
printf '<html><head><title>Second book</title></head><body><h1>Harbours</h1><p>Ships and a lighthouse.</p></body></html>' >"$work/src/second/index.html"
"$pack" build "$work/src/first" -o "$work/library/first.ebook" >/dev/null
"$pack" build "$work/src/second" -o "$work/library/second.ebook" >/dev/null

"$pack" serve --library "$work/library" --url-root /library --allow-host books.example --port "$serve_port" >"$work/serve.out" 2>"$work/serve.err" &
pids+=($!)
cat >"$work/nginx.conf" <<NGINX
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
daemon off;
events { worker_connections 256; }
http {
  access_log off;
  proxy_cache_path $work/cache keys_zone=books:1m;
  server {
    listen 127.0.0.1:$proxy_port;
    server_name books.example;
    location /library/ {
      proxy_pass http://127.0.0.1:$serve_port;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host \$host;
      proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
      proxy_cache books;
      add_header X-Cache-Status \$upstream_cache_status always;
    }
  }
}
NGINX
nginx -c "$work/nginx.conf" -e "$work/nginx-error.log" &
pids+=($!)
wait_for_port "$serve_port"
wait_for_port "$proxy_port"
sleep 1  # the library's first look at its folder

proxy="http://127.0.0.1:$proxy_port"
fetch() { curl -s -H 'Host: books.example' -D "$work/headers" -o "$work/body" -w '%{http_code}' "$proxy$1"; }
check() {
  local what=$1 path=$2 expect=$3 code
  code=$(fetch "$path")
  if [ "$code" != 200 ] || ! grep -q -- "$expect" "$work/body"; then
    echo "FAIL $what: $path answered $code"; head -c 600 "$work/body"; echo; cat "$work/serve.err"; exit 1
  fi
  echo "ok   $what: $path 200, $(wc -c <"$work/body") bytes, cache $(awk -F': ' 'tolower($1) == "x-cache-status" {print $2}' "$work/headers" | tr -d '\r')"
}
check "library page" /library/ 'href="/library/first/'
check "search across books" '/library/.search?q=lighthouse' '/library/second/'
link=$(grep -o 'href="/library/first/[^"]*"' "$work/body" | head -1 | sed 's/href="//; s/"$//')
[ -n "$link" ] || { echo "FAIL no result of the first book links under /library/first/"; exit 1; }
check "a search result's link" "$link" 'Lighthouses'
check "a book page" /library/first/two.html 'Foghorns'
code=$(fetch /library/first/two.html)
status=$(awk -F': ' 'tolower($1) == "x-cache-status" {print $2}' "$work/headers" | tr -d '\r')
[ "$code" = 200 ] && [ "$status" = HIT ] || { echo "FAIL the second request for a page: $code, cache $status"; exit 1; }
echo "ok   the second request for a page is a cache hit"
code=$(fetch /library/)
status=$(awk -F': ' 'tolower($1) == "x-cache-status" {print $2}' "$work/headers" | tr -d '\r')
[ "$status" != HIT ] || { echo "FAIL the library page came from the cache without asking"; exit 1; }
echo "ok   the library page is asked for again ($status)"
