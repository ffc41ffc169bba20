#!/usr/bin/env bash
# The viewer's start-up, memory and navigation against a minimal Qt WebEngine program.
set -euo pipefail
build=${1:?usage: bench/viewer.sh BUILD_DIR}
if [ ! -x "$build/bench/viewer/viewer_probe" ]; then
  echo "viewer probes not built (EBOOK_BUILD_GUI is off): skipped"
  exit 0
fi
exec python3 "$(dirname "$0")/viewer/measure.py" "$build"
