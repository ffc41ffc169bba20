#!/usr/bin/env bash
# Building a book against `zip -r -6` on the same folder: by default a generated folder of about
# 1,000 HTML, CSS, JS and image files (about 60 MB, fixed seed, so every run packs the same bytes);
# given FOLDER (a real manual, such as the Python documentation), that folder. Each tool runs
# BENCH_REPEAT times (default 3), alternating, and the medians are compared, so that a busy moment
# of a shared machine does not decide it. ebook-pack builds with --no-index and with its index. Also
# shows the output sizes, the processor time (user + system, medians) and ebook-pack's peak memory.
# Prints one markdown table. Run it as `nice -n -5 bench/pack-vs-zip.sh ...` where allowed.
set -euo pipefail
build=${1:?usage: pack-vs-zip.sh BUILD_DIR [FOLDER]}
pack="$(cd "$build" && pwd)/tools/ebook-pack"
repeat=${BENCH_REPEAT:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v zip >/dev/null || { echo "pack-vs-zip: zip is not installed (scripts/install-deps)"; exit 1; }

if [ -n "${2:-}" ]; then
  site=$(cd "$2" && pwd)
else
  site="$work/site"
python3 - "$site" <<'PY'
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
fi

bytes=$( (du -sbL "$site" 2>/dev/null || true) | cut -f1)
files=$( (find -L "$site" -type f 2>/dev/null || true) | wc -l)

# "WALL CPU" seconds of one run of the command (CPU: user + system of it and its children).
timed() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$(echo "$end - $start" | bc -l) $(awk '{print $1 + $2}' "$work/cpu")"
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

bare_times=()
index_times=()
zip_times=()
for _ in $(seq "$repeat"); do
  rm -f "$work/bare.ebook" "$work/index.ebook" "$work/out.zip"
  bare_times+=("$(timed "$pack" build "$site" -o "$work/bare.ebook" --no-index)")
  rm -f "$work/out.zip"
  zip_times+=("$(cd "$site" && timed zip -r -6 -q "$work/out.zip" .)")
  index_times+=("$(timed "$pack" build "$site" -o "$work/index.ebook")")
done
column() { printf '%s\n' "${@:2}" | cut -d' ' -f"$1" | median; }
bare_wall=$(column 1 "${bare_times[@]}")
bare_cpu=$(column 2 "${bare_times[@]}")
index_wall=$(column 1 "${index_times[@]}")
index_cpu=$(column 2 "${index_times[@]}")
zip_wall=$(column 1 "${zip_times[@]}")
zip_cpu=$(column 2 "${zip_times[@]}")
memory_kib=$(/usr/bin/time -f %M "$pack" build "$site" -o "$work/again.ebook" 2>&1 >/dev/null | tail -1)
"$pack" verify "$work/bare.ebook" >/dev/null
"$pack" verify "$work/index.ebook" >/dev/null
bare_bytes=$(stat -c %s "$work/bare.ebook")
index_bytes=$(stat -c %s "$work/index.ebook")
zip_bytes=$(stat -c %s "$work/out.zip")
ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }

echo "Folder: $files files, $bytes bytes; $(nproc) processors; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| | wall time (median of $repeat) | processor time | output bytes | time / zip's | bytes / zip's |"
echo "|---|---|---|---|---|---|"
printf '| ebook-pack build --no-index | %.3f s | %.2f s | %d | %s | %s |\n' "$bare_wall" "$bare_cpu" "$bare_bytes" \
  "$(ratio "$bare_wall" "$zip_wall")" "$(ratio "$bare_bytes" "$zip_bytes")"
printf '| ebook-pack build | %.3f s | %.2f s | %d | %s | %s |\n' "$index_wall" "$index_cpu" "$index_bytes" \
  "$(ratio "$index_wall" "$zip_wall")" "$(ratio "$index_bytes" "$zip_bytes")"
printf '| zip -r -6 | %.3f s | %.2f s | %d | 1 | 1 |\n' "$zip_wall" "$zip_cpu" "$zip_bytes"
echo
echo "The index adds $(ratio "$(echo "$index_wall - $bare_wall" | bc -l)" "$zip_wall") of zip's wall time" \
  "($(ratio "$(echo "$index_cpu - $bare_cpu" | bc -l)" "$zip_cpu") of its processor time)."
echo "ebook-pack peak memory: $((memory_kib / 1024)) MiB; load after: $(cut -d' ' -f1-3 /proc/loadavg)"
