// Reads the probe's feeds with opds-feed-parser (NYPL's OPDS client library, from the npm
// registry) and checks what an e-reader app takes from them: an acquisition feed, one entry per
// downloadable book with its title, id, update time, language, image and an open-access link of
// the book's type under the url root, the self, start and search links, the filters, and an
// OpenSearch template that leads back to the feed. Usage: node check.js DIR
"use strict";
const fs = require("fs");
const path = require("path");
const OPDSParser = require("opds-feed-parser").default;
const AcquisitionFeed = require("opds-feed-parser/lib/src/acquisition_feed").default;

const dir = process.argv[2];
const read = (name) => fs.readFileSync(path.join(dir, name), "utf8");
let failures = 0;
function check(ok, what) {
  console.log((ok ? "ok   " : "FAIL ") + what);
  if (!ok) failures++;
}

(async () => {
  const books = read("books.tsv").replace(/\n$/, "").split("\n").map((line) => {
    const [name, title, type] = line.split("\t");
    return { name, title, type: type || "" };
  });
  const downloadable = books.filter((b) => b.type !== "");
  const parser = new OPDSParser();
  const feed = await parser.parse(read("feed.xml"));
  check(feed instanceof AcquisitionFeed, "the feed is an acquisition feed");
  check(feed.title === "Library" && /^urn:uuid:/.test(feed.id) && !isNaN(Date.parse(feed.updated)),
    "the feed has a title, an id and an update time");
  const rel = (links, r) => links.find((l) => l.rel === r);
  check(rel(feed.links, "self") && rel(feed.links, "self").href === "/library/.opds", "self link under the root");
  check(rel(feed.links, "start") && rel(feed.links, "start").href === "/library/.opds", "start link");
  const search = rel(feed.links, "search");
  check(search && search.href === "/library/.opensearch.xml" && search.type === "application/opensearchdescription+xml",
    "search link to the OpenSearch description");
  check(feed.entries.length === downloadable.length,
    `one entry per downloadable book (${feed.entries.length} of ${downloadable.length})`);
  const ids = new Set();
  for (const book of downloadable) {
    const entry = feed.entries.find((e) => e.links.some((l) => l.href === `/library/${book.name}/`));
    check(!!entry && entry.title === book.title, `entry for ${book.name} (${book.title})`);
    if (!entry) continue;
    ids.add(entry.id);
    check(/^urn:uuid:[0-9a-f-]{36}$/.test(entry.id) && !isNaN(Date.parse(entry.updated)), `  id ${entry.id}, updated ${entry.updated}`);
    const open = rel(entry.links, "http://opds-spec.org/acquisition/open-access");
    check(open && open.href === `/library/.download/${book.name}` && open.type === book.type,
      `  open-access link ${open && open.href} of type ${open && open.type}`);
    const image = rel(entry.links, "http://opds-spec.org/image");
    const thumb = rel(entry.links, "http://opds-spec.org/image/thumbnail");
    check(image && thumb && image.href === `/library/.icon/${book.name}` && /^image\//.test(image.type),
      `  image and thumbnail ${image && image.href} (${image && image.type})`);
    check(entry.authors.every((a) => a.name), `  authors: ${entry.authors.map((a) => a.name).join(", ") || "none"}`);
    console.log(`     language: ${entry.language || "none"}`);
  }
  check(ids.size === downloadable.length, "ids are distinct");
  const filtered = await parser.parse(read("feed-q.xml"));
  check(filtered.entries.length >= 1 && filtered.entries.length <= feed.entries.length,
    `?q= keeps ${filtered.entries.length} of ${feed.entries.length}`);
  const byLanguage = await parser.parse(read("feed-lang.xml"));
  check(byLanguage.entries.length >= 1, `?lang= keeps ${byLanguage.entries.length}`);
  const description = read("opensearch.xml");
  check(/template="\/library\/\.opds\?q=\{searchTerms\}"/.test(description), "OpenSearch template leads to the feed");
  console.log(failures === 0 ? "OPDS check passed" : `${failures} checks failed`);
  process.exit(failures === 0 ? 0 : 1);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
