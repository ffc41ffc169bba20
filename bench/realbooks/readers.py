"""What the tools print: ebook-pack's contents and check (read tolerantly: the commands are new; keep
their reading here), its page list, and a PDF's outline."""

import json
import urllib.parse

from realbooks.common import run, last_line, Failure


def tree_entries(document):
    """The list of top-level entries in a contents document: the list itself, or the first list
    found under a key that names one."""
    if isinstance(document, list):
        return document
    if isinstance(document, dict):
        for key in ("contents", "entries", "children", "items", "tree", "toc"):
            if isinstance(document.get(key), list):
                return document[key]
    raise Failure("contents JSON holds no list of entries")


def parse_contents(text):
    """Entries, depth, top-level count and the set of page names an entry points to, from
    `ebook-pack contents BOOK --json`: a list of entries, each with "title", "page", an optional
    "anchor" and a "children" list (other spellings of those keys are accepted)."""
    top = tree_entries(json.loads(text))
    pages = set()

    def walk(entries, level):
        count, depth = 0, 0
        for entry in entries:
            if not isinstance(entry, dict):
                continue
            count += 1
            depth = max(depth, level)
            page = next((entry[key] for key in ("page", "href", "path", "url", "target") if isinstance(entry.get(key), str)), "")
            page = page_key(page.split("#", 1)[0])
            if page:
                pages.add(page)
            children = next((entry[key] for key in ("children", "entries", "items", "kids") if isinstance(entry.get(key), list)), [])
            inner_count, inner_depth = walk(children, level + 1)
            count += inner_count
            depth = max(depth, inner_depth)
        return count, depth

    entries, depth = walk(top, 1)
    return {"entries": entries, "depth": depth, "top": len(top), "pages": pages}


# Tried in this order, so that "brokenAnchors" counts as an anchor and "caseOnlyLinks" as a case match.
CHECK_KINDS = {
    "case": ("case",),
    "anchors": ("anchor", "fragment"),
    "orphans": ("orphan", "unlinked", "unreferenced"),
    "broken": ("broken", "missing page", "notfound", "not found", "404"),
}


def check_kind(name):
    name = name.lower().replace("_", " ").replace("-", " ")
    squashed = name.replace(" ", "")
    for kind, words in CHECK_KINDS.items():
        if any(word in name or word.replace(" ", "") in squashed for word in words):
            return kind
    return None


def parse_check(text):
    """Counts of broken links, missing anchors, case-only matches and orphans from
    `ebook-pack check BOOK --json`: taken from a summary of counts when there is one (a dict of
    numbers, at the top or under "summary"/"counts"/"totals"), else counted from the findings (a
    list of dicts whose "kind"/"type"/"category" names them, or lists under keys that do)."""
    document = json.loads(text)
    counts = {kind: 0 for kind in CHECK_KINDS}
    seen = False
    if isinstance(document, dict):
        for holder in [document.get(key) for key in ("summary", "counts", "totals")] + [document]:
            if isinstance(holder, dict):
                for key, value in holder.items():
                    kind = check_kind(key)
                    if kind and isinstance(value, int) and not isinstance(value, bool):
                        counts[kind] += value
                        seen = True
                if seen:
                    return counts
        for key, value in document.items():
            kind = check_kind(key)
            if kind and isinstance(value, list):
                counts[kind] += len(value)
                seen = True
        if seen:
            return counts
        document = next((document[key] for key in ("findings", "problems", "results", "issues") if isinstance(document.get(key), list)), [])
    if isinstance(document, list):
        for finding in document:
            if isinstance(finding, dict):
                label = next((finding[key] for key in ("kind", "type", "category", "problem") if isinstance(finding.get(key), str)), "")
                kind = check_kind(label)
                if kind:
                    counts[kind] += 1
        return counts
    raise Failure("check JSON holds neither counts nor findings")


def page_key(name):
    return urllib.parse.unquote(name).lstrip("/")


def book_pages(pack, book):
    status, out, err = run([pack, "list", book, "--json"], timeout=600)
    if status != 0:
        raise Failure(f"list failed: {last_line(err)}")
    return [page_key(entry["name"]) for entry in json.loads(out)]


def has_command(pack, command):
    return run([pack, command, "--help"], timeout=60)[0] == 0


def pdf_outline(pdf):
    """Entries, depth and top-level count of a PDF's outline, walked through the objects that
    qpdf's JSON lists (its "outlines" key stops at 50 levels, and today's outlines go deeper)."""
    status, out, err = run(["qpdf", "--json=2", "--json-key=qpdf", pdf], timeout=1800)
    if status not in (0, 3):
        raise Failure(f"qpdf could not read {pdf}: {last_line(err)}")
    objects = json.loads(out)["qpdf"][1]

    def value(reference):
        return (objects.get("obj:" + reference) or {}).get("value") if isinstance(reference, str) else None

    root = value(objects["trailer"]["value"]["/Root"]) or {}
    outlines = value(root.get("/Outlines")) or {}
    entries = depth = top = 0
    seen = set()
    pending = [(outlines.get("/First"), 1)]
    while pending:
        reference, level = pending.pop()
        item = value(reference)
        if item is None or reference in seen:
            continue
        seen.add(reference)
        entries += 1
        depth = max(depth, level)
        top += level == 1
        pending.append((item.get("/Next"), level))
        pending.append((item.get("/First"), level + 1))
    return {"entries": entries, "depth": depth, "top": top}
