#!/usr/bin/env python3
"""Serves a book or folder with `ebook-pack serve` and requests every link of every HTML page the
way a browser resolves it (urljoin, redirects followed); prints the count of answers by status and
the first links that did not answer 200. Exit 1 when any did not.

Usage: bench/serve-every-link.py EBOOK_PACK BOOK_OR_FOLDER"""
import html.parser, signal, subprocess, sys, urllib.error, urllib.parse, urllib.request


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in ("href", "src", "poster", "data"):
                self.links.append(value.strip())
            elif name == "srcset":
                self.links += [part.strip().split()[0] for part in value.split(",") if part.strip()]


def fetch(url):
    try:
        with urllib.request.urlopen(url) as answer:
            return answer.status, answer.read(), answer.headers.get("Content-Type", "")
    except urllib.error.HTTPError as error:
        return error.code, b"", ""


def main():
    pack, source = sys.argv[1], sys.argv[2]
    server = subprocess.Popen([pack, "serve", source], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    home = server.stdout.readline().strip()
    root = urllib.parse.urljoin(home, "/")
    seen, queue, statuses, failures = set(), [home], {}, []
    try:
        while queue:
            url = queue.pop()
            if url in seen:
                continue
            seen.add(url)
            status, body, kind = fetch(url)
            statuses[status] = statuses.get(status, 0) + 1
            if status != 200:
                failures.append(url)
                continue
            if not kind.startswith("text/html"):
                continue
            parser = Links()
            parser.feed(body.decode("utf-8", "replace"))
            for link in parser.links:
                target = urllib.parse.urldefrag(urllib.parse.urljoin(url, link))[0]
                if target.startswith(root):
                    queue.append(target)
    finally:
        server.send_signal(signal.SIGINT)
        server.wait(10)
    print("%s: %d addresses requested, by status: %s" % (source, len(seen), dict(sorted(statuses.items()))))
    for url in failures[:10]:
        print("  not 200: " + url)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
