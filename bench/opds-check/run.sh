#!/usr/bin/env bash
# Checks the library catalog's OPDS feed with a real OPDS client library: opds-feed-parser 0.1.0
# (NYPL, from the npm registry), installed into a scratch folder. The library is a book file built
# from samples/guide, a small EPUB and the guide folder itself (a folder is left out of the feed),
# plus any books given. Usage: run.sh BUILD_DIR [BOOK...] (BUILD_DIR configured with
# -DEBOOK_BUILD_BENCH=ON; catalog_probe and ebook-pack are built when missing).
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [BOOK...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cmake --build "$build" -j1 --target catalog_probe ebook-pack >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/ebook-pack" build "$repo/samples/guide" -o "$work/guide-book.ebook" >/dev/null
mkdir -p "$work/epub/META-INF" "$work/epub/OEBPS"
printf 'application/epub+zip' >"$work/epub/mimetype"
cat >"$work/epub/META-INF/container.xml" <<'XML'
<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>
<rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>
XML
cat >"$work/epub/OEBPS/content.opf" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">urn:x:1</dc:identifier>
<dc:title>Tom &amp; Jerry &lt;Stories&gt;</dc:title><dc:creator>A. Writer</dc:creator><dc:language>en</dc:language></metadata>
<manifest><item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
<item id="c1" href="chapter.xhtml" media-type="application/xhtml+xml"/></manifest>
<spine><itemref idref="c1"/></spine></package>
XML
cat >"$work/epub/OEBPS/nav.xhtml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><head><title>Contents</title></head>
<body><nav epub:type="toc"><ol><li><a href="chapter.xhtml">Chapter</a></li></ol></nav></body></html>
XML
cat >"$work/epub/OEBPS/chapter.xhtml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Chapter</title></head><body><p>Words.</p></body></html>
XML
(cd "$work/epub" && zip -q -X -0 "$work/stories.epub" mimetype && zip -q -X -r "$work/stories.epub" META-INF OEBPS)

mkdir -p "$work/out" "$work/npm"
"$build/bench/opds-check/catalog_probe" "$work/out" "$work/stories.epub" "$work/guide-book.ebook" "$repo/samples/guide" "$@"
(cd "$work/npm" && npm install --silent --no-audit --no-fund opds-feed-parser@0.1.0 >/dev/null)
NODE_PATH="$work/npm/node_modules" node "$here/check.js" "$work/out"
