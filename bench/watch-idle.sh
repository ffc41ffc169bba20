#!/bin/sh
# The cost of an idle `ebook-pack serve SRC_DIR --watch`: the share of one core its process uses
# over SECONDS once it is up, with nothing changing in the folder.
# Usage: bench/watch-idle.sh EBOOK_PACK FOLDER [SECONDS]
set -eu
pack=$1 folder=$2 seconds=${3:-30}
ticks=$(getconf CLK_TCK)
"$pack" serve "$folder" --watch >/dev/null 2>&1 &
pid=$!
trap 'kill -INT $pid 2>/dev/null; wait $pid 2>/dev/null || true' EXIT
sleep ${SETTLE:-30} # the plan of the folder is made at start
cpu() { awk '{ print $14 + $15 }' /proc/$pid/stat; }
before=$(cpu)
sleep "$seconds"
after=$(cpu)
echo "$folder: $(find "$folder" -type f | wc -l) files, idle for $seconds s:" \
    "$(echo "$before $after $ticks $seconds" | awk '{ printf "%.2f%% of a core", ($2 - $1) / $3 / $4 * 100 }')"
