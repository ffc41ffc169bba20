#!/usr/bin/env bash
# Building a book against `zip -r -6` on the same folder: a generated folder of about 1,000 HTML,
# CSS, JS and image files (about 60 MB, fixed seed, so every run packs the same bytes). Each tool
# runs BENCH_REPEAT times (default 3), alternating, and the medians are compared, so that a busy
# moment of a shared machine does not decide it. Also shows the output sizes and ebook-pack's peak
# memory. Prints one markdown table.
set -euo pipefail
build=${1:?usage: pack-vs-zip.sh BUILD_DIR}
pack="$(cd "$build" && pwd)/tools/ebook-pack"
repeat=${BENCH_REPEAT:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v zip >/dev/null || { echo "pack-vs-zip: zip is not installed (scripts/install-deps)"; exit 1; }

python3 - "$work/site" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20261208)
# A vocabulary with a few common words and a long tail, as documentation has.
vocabulary = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 11)))
              for _ in range(6000)]
weights = [1.0 / (rank + 1) for rank in range(len(vocabulary))]
def words(count):
    return " ".join(rng.choices(vocabulary, weights, k=count))
def write(path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)
for i in range(700):
    paragraphs = "".join("<p>%s</p>\n<pre>%s</pre>\n" % (words(rng.randint(40, 160)), words(12))
                         for _ in range(rng.randint(20, 110)))
    write("chapter%d/page%04d.html" % (i % 40, i),
          ("<!DOCTYPE html><html><head><title>Page %d</title><link rel=stylesheet href=../style.css>"
           "</head><body><h1>%s</h1>%s</body></html>" % (i, words(6), paragraphs)).encode())
for i in range(100):
    rules = "".join(".c%d-%s { margin: %dpx; color: #%06x; }\n" % (k, rng.choice(vocabulary), k % 40,
                    rng.randrange(1 << 24)) for k in range(rng.randint(200, 700)))
    write("css/style%03d.css" % i, rules.encode())
for i in range(100):
    code = "".join("function %s_%d(a, b) { return a.%s(b) + %d; }\n" % (rng.choice(vocabulary), k,
                   rng.choice(vocabulary), k) for k in range(rng.randint(300, 1200)))
    write("js/script%03d.js" % i, code.encode())
for i in range(100):
    write("images/picture%03d.png" % i, b"\x89PNG\r\n\x1a\n" + rng.randbytes(rng.randint(60000, 240000)))
write("index.html", b"<!DOCTYPE html><title>Generated site</title><p>start</p>")
PY

bytes=$(du -sb "$work/site" | cut -f1)
files=$(find "$work/site" -type f | wc -l)

# Seconds of wall time of one run of the command.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

pack_times=()
zip_times=()
for _ in $(seq "$repeat"); do
  rm -f "$work/out.ebook" "$work/out.zip"
  pack_times+=("$(timed "$pack" build "$work/site" -o "$work/out.ebook")")
  zip_times+=("$(cd "$work/site" && timed zip -r -6 -q "$work/out.zip" .)")
done
pack_median=$(printf '%s\n' "${pack_times[@]}" | median)
zip_median=$(printf '%s\n' "${zip_times[@]}" | median)
memory_kib=$(/usr/bin/time -f %M "$pack" build "$work/site" -o "$work/again.ebook" 2>&1 >/dev/null | tail -1)
"$pack" verify "$work/out.ebook" >/dev/null

echo "Folder: $files files, $bytes bytes; $(nproc) processors; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| | wall time (median of $repeat) | output bytes |"
echo "|---|---|---|"
printf '| ebook-pack build | %.3f s | %d |\n' "$pack_median" "$(stat -c %s "$work/out.ebook")"
printf '| zip -r -6 | %.3f s | %d |\n' "$zip_median" "$(stat -c %s "$work/out.zip")"
printf '| ratio | %.2f | %.3f |\n' "$(echo "$pack_median / $zip_median" | bc -l)" \
  "$(echo "$(stat -c %s "$work/out.ebook") / $(stat -c %s "$work/out.zip")" | bc -l)"
echo
echo "ebook-pack peak memory: $((memory_kib / 1024)) MiB"
