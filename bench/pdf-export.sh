#!/usr/bin/env bash
# The whole-book PDF export against a plain loop that prints each page with the engine alone, in
# the same run: time, output size and memory. PDF_BENCH_DOCS names a folder of HTML documentation
# to pack (a few hundred pages make the figures of docs/PERFORMANCE.md); the guide by default.
set -euo pipefail
build=${1:?usage: bench/pdf-export.sh BUILD_DIR}
probe=$build/bench/pdfexport/pdf_export_probe
if [ ! -x "$probe" ]; then
  echo "PDF export probe not built (EBOOK_BUILD_GUI is off): skipped"
  exit 0
fi
here=$(cd "$(dirname "$0")" && pwd)
docs=${PDF_BENCH_DOCS:-$here/../samples/guide}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/ebook-pack" build "$docs" -o "$work/book" --allow-print >/dev/null

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update --no-first-run"
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
echo "load: $(uptime)"
ours=$("$probe" export "$work/book" "$work/book.pdf" 2>/dev/null | grep '^mode=')
loop=$("$probe" loop "$work/book" "$work/loop" 2>/dev/null | grep '^mode=')
echo "$ours"
echo "$loop"
python3 - "$ours" "$loop" <<'PY'
import sys
ours, loop = (dict(kv.split("=") for kv in line.split()) for line in sys.argv[1:3])
print(f"time: {float(ours['seconds']) / float(loop['seconds']):.2f} of the engine loop (goal 1.3)")
print(f"size: {int(ours['bytes']) / int(loop['bytes']):.2f} of the engine's PDFs together (goal 1.5)")
for key, what in (("rss_peak", "with the engine's helpers"), ("own_peak", "the process alone")):
    peak, early = int(ours[key + "_mb"]), int(ours[key + "_first10_mb"])
    print(f"memory, {what}: peak {peak} MiB against {early} MiB after ten pages, "
          f"{peak / max(1, early):.2f} (goal 1.5)")
PY
