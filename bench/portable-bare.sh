#!/usr/bin/env bash
# The one-file viewer where nothing is installed: bare Debian 12 (bookworm) and 13 (trixie) trees
# made with mmdebstrap --variant=minbase (no Qt, no X libraries, no fonts, no GL). In each, under
# Xvfb, the guide's program made with --stub ebook-portable is shown as root and as a plain user
# (window caption and screenshot), an EPUB is opened with ebook-portable, and a PDF is written with
# --export-pdf without a display; first and later start times are measured to the window.
# Usage: bench/portable-bare.sh BUILD_DIR [WORK_DIR]   (as root; needs `make portable` first)
# Screenshots and PDFs go to WORK_DIR/out; the trees are kept in WORK_DIR for the next run.
set -euo pipefail
build=$(cd "${1:?usage: bench/portable-bare.sh BUILD_DIR [WORK_DIR]}" && pwd)
work=${2:-/var/tmp/ebook-portable-bare}
portable=$build/ebook-portable
pack=$build/tools/ebook-pack
top=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" = 0 ] || { echo "portable-bare: needs root (chroot, mounts)" >&2; exit 1; }
[ -x "$portable" ] || { echo "portable-bare: no $portable: run make portable" >&2; exit 1; }
for tool in mmdebstrap Xvfb xwininfo xdotool import pdfinfo zip bc; do
  command -v "$tool" > /dev/null || { echo "portable-bare: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
mkdir -p "$work/out"
out=$work/out

# The guide's program and a small EPUB, made here.
"$pack" build "$top/samples/guide" -o "$work/guide-book" --stub "$portable" > /dev/null
epub_src=$(mktemp -d)
trap 'rm -rf "$epub_src"' EXIT
mkdir -p "$epub_src/META-INF" "$epub_src/OEBPS"
printf 'application/epub+zip' > "$epub_src/mimetype"
cat > "$epub_src/META-INF/container.xml" <<'XML'
<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path="OEBPS/book.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>
XML
cat > "$epub_src/OEBPS/book.opf" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/">
    <dc:identifier id="id">bare-tree-epub</dc:identifier><dc:title>Bare Tree EPUB</dc:title><dc:language>en</dc:language>
  </metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="c1" href="chapter.xhtml" media-type="application/xhtml+xml"/>
  </manifest>
  <spine><itemref idref="c1"/></spine>
</package>
XML
cat > "$epub_src/OEBPS/nav.xhtml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><head><title>Contents</title></head>
<body><nav epub:type="toc"><ol><li><a href="chapter.xhtml">The only chapter</a></li></ol></nav></body></html>
XML
cat > "$epub_src/OEBPS/chapter.xhtml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>The only chapter</title></head>
<body><h1>The only chapter</h1><p>Text shown with the bundled fonts in a tree that has none: àéîõü ΑΒΓ Жж.</p></body></html>
XML
(cd "$epub_src" && rm -f "$work/book.epub" && zip -q -X -0 "$work/book.epub" mimetype && zip -q -X -r "$work/book.epub" META-INF OEBPS)

display=:77
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$epub_src"' EXIT
sleep 1

now() { date +%s.%N; }
window_titled() { DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -F "\"$1" | head -1 | awk '{ print $1 }'; }

# Runs COMMAND... in TREE as USER until a window whose caption starts with TITLE shows (or 60 s),
# takes a screenshot NAME.png, and prints the seconds it took.
show() {
  local tree=$1 user=$2 title=$3 name=$4; shift 4
  local start pid window="" spent
  start=$(now)
  unshare -m --propagation private sh -c '
    tree=$1 user=$2; shift 2
    mount -t proc proc "$tree/proc" && mount --bind /dev "$tree/dev" && mount -t tmpfs tmpfs "$tree/dev/shm"
    home=/home/reader; [ "${user%%:*}" = 0 ] && home=/root
    exec chroot --userspec="$user" "$tree" env -i HOME="$home" \
      PATH=/usr/bin:/bin DISPLAY='"$display"' LANG=C.UTF-8 "$@"' sh "$tree" "$user" "$@" \
    > "$out/$name.log" 2>&1 &
  pid=$!
  while [ "$(echo "$(now) - $start < 120" | bc)" = 1 ]; do
    window=$(window_titled "$title")
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  spent=$(echo "$(now) - $start" | bc)
  if [ -z "$window" ]; then
    echo "FAILED: no window \"$title\" for $name; its output:" >&2
    tail -20 "$out/$name.log" >&2
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 1
  fi
  sleep 2 # the page draws after the window shows
  # Keys need the keyboard data: without it the engine aborts at the first one.
  DISPLAY=$display xdotool key --window "$window" ctrl+f Escape 2> /dev/null
  sleep 1
  kill -0 "$pid" 2>/dev/null || { echo "FAILED: $name ended after a key press:" >&2; tail "$out/$name.log" >&2; return 1; }
  DISPLAY=$display import -window "$window" "$out/$name.png"
  DISPLAY=$display xwininfo -id "$window" | grep -o '".*"' > "$out/$name.title"
  pkill -TERM -P "$pid" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # The chroot's viewer is a grandchild: wait until its window is gone before the next start.
  for _ in $(seq 100); do [ -z "$(window_titled "$title")" ] && break; sleep 0.1; done
  printf '%.2f' "$spent"
}

# On this machine: the installed-style program (the guide after build/viewer/ebook) against the
# one-file one, to the guide's first page in the caption; medians of 3; the first start of the
# one-file program with an empty cache.
median() { sort -n | sed -n 2p; }
start_to_window() { # seconds from start to the guide's caption, COMMAND...
  local start pid spent=""
  start=$(now)
  DISPLAY=$display "$@" > /dev/null 2>&1 &
  pid=$!
  while [ "$(echo "$(now) - $start < 120" | bc)" = 1 ]; do
    if [ -n "$(window_titled "eBook Viewer Guide - Welcome")" ]; then spent=$(echo "$(now) - $start" | bc); break; fi
    sleep 0.02
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  for _ in $(seq 100); do [ -z "$(window_titled "eBook Viewer Guide")" ] && break; sleep 0.05; done
  [ -n "$spent" ] || { echo "FAILED: no guide window within 120 s: $*" >&2; exit 1; }
  printf '%.2f\n' "$spent"
}
"$pack" build "$top/samples/guide" -o "$work/guide-installed" --stub "$build/viewer/ebook" > /dev/null
host_cache=$(mktemp -d)
installed=$(for _ in 1 2 3; do start_to_window "$work/guide-installed"; done | median)
firsts=$(for i in 1 2 3; do EBOOK_RUNTIME_DIR=$host_cache/$i start_to_window "$work/guide-book"; done)
later=$(for _ in 1 2 3; do EBOOK_RUNTIME_DIR=$host_cache/1 start_to_window "$work/guide-book"; done | median)
rm -rf "$host_cache"
echo "this machine: guide program $(stat -c %s "$work/guide-book") bytes; start to the first page:" \
  "installed viewer ${installed} s, one-file viewer once unpacked ${later} s (medians of 3)," \
  "first start $(echo "$firsts" | tr '\n' ' ')s"

for release in bookworm trixie; do
  tree=$work/$release
  if [ ! -x "$tree/bin/sh" ]; then
    echo "== making a bare $release tree (mmdebstrap --variant=minbase)"
    mmdebstrap --quiet --variant=minbase "$release" "$tree" > /dev/null
  fi
  chroot "$tree" sh -c 'id reader > /dev/null 2>&1 || useradd -m -u 1000 reader'
  for f in guide-book book.epub; do cp "$work/$f" "$tree/opt/$f"; done
  cp "$portable" "$tree/opt/ebook-portable"
  chmod 755 "$tree/opt/guide-book" "$tree/opt/ebook-portable"
  chmod 644 "$tree/opt/book.epub"
  rm -rf "$tree/root/.cache/ebook-runtime" "$tree/home/reader/.cache/ebook-runtime"
  echo "== $release: $(chroot "$tree" sh -c 'ls /usr/lib/*/libQt6Core.so.6 /usr/lib/*/libGLX_mesa.so.0 /usr/share/fonts /usr/share/X11/xkb 2>&1' | grep -c 'No such') of Qt, GL, fonts, xkb absent"
  first_root=$(show "$tree" 0:0 "eBook Viewer Guide" "$release-root-first" /opt/guide-book)
  later_root=$(show "$tree" 0:0 "eBook Viewer Guide" "$release-root" /opt/guide-book)
  first_user=$(show "$tree" 1000:1000 "eBook Viewer Guide" "$release-user-first" /opt/guide-book)
  later_user=$(show "$tree" 1000:1000 "eBook Viewer Guide" "$release-user" /opt/guide-book)
  epub=$(show "$tree" 1000:1000 "Bare Tree EPUB" "$release-epub" /opt/ebook-portable /opt/book.epub)
  echo "$release: guide as root: first start ${first_root} s, later ${later_root} s; as a plain user: first ${first_user} s, later ${later_user} s; EPUB ${epub} s"
  echo "$release: captions: $(cat "$out/$release-root.title") / $(cat "$out/$release-user.title") / $(cat "$out/$release-epub.title")"
  # The export needs no display.
  rm -f "$tree/tmp/guide.pdf"
  unshare -m --propagation private sh -c '
    mount -t proc proc "$1/proc" && mount --bind /dev "$1/dev" && mount -t tmpfs tmpfs "$1/dev/shm"
    chroot --userspec=1000:1000 "$1" env -i HOME=/home/reader PATH=/usr/bin:/bin /opt/guide-book --export-pdf /tmp/guide.pdf' \
    sh "$tree" > "$out/$release-pdf.log" 2>&1 || { echo "FAILED: --export-pdf in $release" >&2; tail "$out/$release-pdf.log" >&2; exit 1; }
  cp "$tree/tmp/guide.pdf" "$out/$release-guide.pdf"
  echo "$release: --export-pdf without a display: $(pdfinfo "$out/$release-guide.pdf" | awk '/^Pages/ { print $2 }') pages, $(stat -c %s "$out/$release-guide.pdf") bytes"
  echo "$release: runtime: $(unshare -m --propagation private sh -c 'mount -t proc proc "$1/proc" &&
    chroot --userspec=1000:1000 "$1" env -i HOME=/home/reader /opt/guide-book --runtime-info' sh "$tree" | tr '\n' ';')"
done
echo "screenshots, captions and PDFs in $out"
