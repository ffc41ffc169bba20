#!/usr/bin/env python3
"""The hostile-input table of docs/SECURITY.md: EPUBs, unpacked EPUB folders, titles and names,
the request screen and an interrupted PDF export, each run against the built programs.

Every command runs in a fresh process with a time limit; its peak memory is the process's own
(ru_maxrss). Prints one markdown table.
Usage: bench/hostile-inputs.py BUILD_DIR   (HOSTILE_ONLY=epub,folder,titles,screen,export,phrase,sizes,
cluster picks groups; the export group needs the viewer and takes about a minute; the sizes group,
the full-size inputs, is run only when named and takes a few minutes and a few GB of disk; so is the
cluster group, a ZIM page stored after 2.9 GB of zeros, which needs zimwriterfs and zstd)
"""
import os, random, resource, signal, socket, struct, subprocess, sys, tempfile, threading, time, urllib.parse, zipfile

from hostile_book import process_status, write_book

build = sys.argv[1]
pack = os.path.join(build, "tools", "ebook-pack")
viewer = os.path.join(build, "viewer", "ebook")
work = tempfile.mkdtemp(prefix="hostile-inputs-")
port = int(os.environ.get("HOSTILE_PORT", "18690"))
only = os.environ.get("HOSTILE_ONLY", "epub,folder,titles,screen,export,phrase").split(",")
MiB = 1 << 20
rows = []

CONTAINER = ('<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">'
             '<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/>'
             '</rootfiles></container>')


def opf(title="Hostile", nav=False):
    item = ('<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>' if nav else
            '<item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>')
    return ('<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0">'
            '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>' + title + '</dc:title></metadata>'
            '<manifest>' + item + '<item id="a" href="a.html" media-type="application/xhtml+xml"/></manifest>'
            '<spine toc="ncx"><itemref idref="a"/></spine></package>')


def write_epub(name, entries):
    path = os.path.join(work, name)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("mimetype", "application/epub+zip", compress_type=zipfile.ZIP_STORED)
        z.writestr("META-INF/container.xml", CONTAINER)
        for entry, text in entries:
            z.writestr(entry, text)
    return path


def run(args, limit=120, env=None):
    """(exit status or "killed", seconds, peak MiB, stdout, stderr) of one command. The peak
    (maximum resident size) comes from GNU time, which execs the command from a small process:
    a child forked from this script would count the script's own memory."""
    start = time.monotonic()
    with tempfile.NamedTemporaryFile() as peak:
        try:
            done = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name, *args], capture_output=True,
                                  timeout=limit, env=env)
            status = done.returncode
            out, err = done.stdout, done.stderr
        except subprocess.TimeoutExpired as expired:
            status = "killed after %d s" % limit
            out, err = expired.stdout or b"", expired.stderr or b""
        seconds = time.monotonic() - start
        text = open(peak.name).read().split()
        kib = int(text[-1]) if text and text[-1].isdigit() else 0
    return status, seconds, kib / 1024, out.decode(errors="replace"), err.decode(errors="replace")


def build_row(attack, source, check=None):
    status, seconds, peak, out, err = run([pack, "build", source, "-o", os.path.join(work, "out.ebook")])
    verdict = check(out, err) if check else (err.strip().splitlines() or [""])[-1][:90]
    rows.append((attack, f"exit {status} after {seconds:.2f} s; {verdict}", f"peak {peak:.0f} MiB"))


def contents_page():
    status, _, _, out, _ = run([pack, "info", os.path.join(work, "out.ebook"), "--json"])
    import json
    home = json.loads(out)["homePage"] if status == 0 else ""
    target = os.path.join(work, "x")
    run([pack, "extract", os.path.join(work, "out.ebook"), "-d", target, home])
    with open(os.path.join(target, home.lstrip("/")), encoding="utf-8", errors="replace") as f:
        return f.read()


if "epub" in only:
    ncx = "<ncx><navMap>" + "<navPoint/>" * 20_000_000 + "</navMap></ncx>"
    build_row("EPUB: an NCX of 20 million empty navPoints (%d KB zipped)" %
              (os.path.getsize(write_epub("wide.epub", [("OEBPS/content.opf", opf()), ("OEBPS/toc.ncx", ncx),
                                                          ("OEBPS/a.html", "<p>a")])) // 1024),
              os.path.join(work, "wide.epub"), lambda out, err: "contents from the reading order"
              if "reading order" in out else err[-90:])
    del ncx
    chain = "<ncx><navMap>" + '<navPoint><content src="a.html"/>' * 127 + "x" * 1000 + "</navPoint>" * 127
    build_row("EPUB: a 127-level chain of unlabelled navPoints",
              write_epub("chain.epub", [("OEBPS/content.opf", opf()), ("OEBPS/toc.ncx", chain + "</navMap></ncx>"),
                                        ("OEBPS/a.html", "<p>a")]),
              lambda out, err: "%d entries kept (bound: 32 levels)" % contents_page().count('href="/OEBPS/a.html"'))
    nav = '<html xmlns="http://www.w3.org/1999/xhtml"><body>' + "<nav>" * 120 + "<ol><li><a href='a.html'>x</a></li></ol>"
    nav += "</nav>" * 120 + "</body></html>"
    build_row("EPUB: 120 nested <nav> elements",
              write_epub("navs.epub", [("OEBPS/content.opf", opf(nav=True)), ("OEBPS/nav.xhtml", nav),
                                       ("OEBPS/a.html", "<p>a")]),
              lambda out, err: "contents from the navigation" if "EPUB's navigation" in out else out[-90:])
    wide = "<ncx><navMap>" + "".join('<navPoint><navLabel><text>E%d</text></navLabel><content src="a.html"/></navPoint>'
                                     % i for i in range(100_000)) + "</navMap></ncx>"
    build_row("EPUB: 100,000 labelled navPoints",
              write_epub("labels.epub", [("OEBPS/content.opf", opf()), ("OEBPS/toc.ncx", wide),
                                         ("OEBPS/a.html", "<p>a")]),
              lambda out, err: "%d entries kept (bound: 20,000)" % contents_page().count(">E"))
    build_row("EPUB: a dc:title of 100 MiB",
              write_epub("title.epub", [("OEBPS/content.opf", opf("T" * (100 * MiB))), ("OEBPS/toc.ncx", "<ncx/>"),
                                        ("OEBPS/a.html", "<p>a")]))
    build_row("EPUB: a dc:title of 10 MiB",
              write_epub("title10.epub", [("OEBPS/content.opf", opf("T" * (10 * MiB))), ("OEBPS/toc.ncx", "<ncx/>"),
                                          ("OEBPS/a.html", "<p>a")]),
              lambda out, err: "printed %d bytes; the title line %d characters" %
              (len(out), max(len(line) for line in out.splitlines() if line.startswith("Title:"))))
    build_row("EPUB: entries CONTENTS.HTML, ./a.html, OEBPS//b.html, OEBPS/./c.html",
              write_epub("names.epub", [("OEBPS/content.opf", opf()), ("OEBPS/toc.ncx", "<ncx/>"),
                                        ("OEBPS/a.html", "<p>a"), ("CONTENTS.HTML", "mine"), ("./a.html", "a"),
                                        ("OEBPS//b.html", "b"), ("OEBPS/./c.html", "c")]),
              lambda out, err: [line for line in out.splitlines() if line.startswith("Home page")][0][:40] + "; " +
              ("verify: exit %s" % run([pack, "verify", os.path.join(work, "out.ebook")])[0]))
    many = [("OEBPS/content.opf", opf()), ("OEBPS/toc.ncx", "<ncx/>"), ("OEBPS/a.html", "<p>a"),
            ("contents.html", "x")] + [("contents-%d.html" % n, "x") for n in range(2, 99_990)]
    build_row("EPUB: 100,000 entries named like the contents page", write_epub("many.epub", many),
              lambda out, err: [line for line in out.splitlines() if line.startswith("Home page")][0][:40])

if "folder" in only:
    book = os.path.join(work, "unpacked")
    os.makedirs(os.path.join(book, "META-INF"))
    os.makedirs(os.path.join(book, "OEBPS"))
    os.makedirs(os.path.join(work, "outside"))
    with open(os.path.join(book, "META-INF", "container.xml"), "w") as f:
        f.write(CONTAINER)
    with open(os.path.join(book, "OEBPS", "a.html"), "w") as f:
        f.write("<p>a")
    with open(os.path.join(work, "outside", "toc.ncx"), "w") as f:
        f.write('<ncx><navMap><navPoint><navLabel><text>SECRET</text></navLabel><content src="a.html"/></navPoint>'
                '</navMap></ncx>')
    os.symlink(os.path.join(work, "outside"), os.path.join(book, "OEBPS", "out"))
    with open(os.path.join(book, "OEBPS", "content.opf"), "w") as f:
        f.write(opf().replace('href="toc.ncx"', 'href="out/toc.ncx"'))
    build_row("folder EPUB: its NCX through a link to a folder outside", book,
              lambda out, err: "outside text in the contents: %s" % ("SECRET" in contents_page()))
    os.remove(os.path.join(book, "OEBPS", "content.opf"))
    os.symlink("/dev/zero", os.path.join(book, "OEBPS", "content.opf"))
    build_row("folder EPUB: content.opf -> /dev/zero", book)
    os.remove(os.path.join(book, "OEBPS", "content.opf"))
    os.mkfifo(os.path.join(book, "OEBPS", "content.opf"))
    build_row("folder EPUB: content.opf a FIFO", book)

if "titles" in only:
    src = os.path.join(work, "titled")
    os.makedirs(src)
    with open(os.path.join(src, "index.html"), "w") as f:
        f.write("<title>" + "T" * (20 * MiB) + "</title><p>home")
    with open(os.path.join(src, "\x1b]0;owned\x07\x1b[31mred.html"), "w") as f:
        f.write("<p>red")
    status, seconds, peak, out, err = run([pack, "build", src, "-o", os.path.join(work, "titled.ebook")])
    rows.append(("a page <title> of 20 MB, a file named with escape sequences: build",
                 f"exit {status} after {seconds:.2f} s; printed {len(out) + len(err)} bytes, "
                 f"raw ESC: {chr(27) in out + err}", f"peak {peak:.0f} MiB"))
    for command in (["list"], ["info"], ["search", "home"]):
        status, seconds, peak, out, err = run([pack, command[0], os.path.join(work, "titled.ebook")] + command[1:])
        rows.append((f"the same book: {command[0]}",
                     f"exit {status} after {seconds:.2f} s; printed {len(out) + len(err)} bytes, "
                     f"raw ESC: {chr(27) in out + err}", f"peak {peak:.0f} MiB"))

if "screen" in only:
    small = write_book(pack, os.path.join(work, "small"), os.path.join(work, "small.ebook"), {"index.htm": 4096})
    serve = subprocess.Popen([pack, "serve", small, "--port", str(port)], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    serve.stdout.readline()

    def answer(headers):
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(b"GET /index.htm HTTP/1.1\r\n" + headers.encode() + b"\r\n")
            return s.recv(64).split(b"\r\n")[0].decode()

    own = f"Host: 127.0.0.1:{port}\r\n"
    for label, headers in (("Host with trailing blanks", f"Host: 127.0.0.1:{port}  \r\n"),
                           ("Host : (blank before the colon)", "Host : evil.example\r\n"),
                           ("Sec-Fetch-Site: cross-site with a trailing blank", own + "Sec-Fetch-Site: cross-site \r\n"),
                           ("two Host headers, own first", own + f"Host: evil.example:{port}\r\n"),
                           ("two Origin headers, own first", own + f"Origin: http://127.0.0.1:{port}\r\n"
                                                                   "Origin: http://evil.example\r\n"),
                           ("two Sec-Fetch-Site headers", own + "Sec-Fetch-Site: same-origin\r\n"
                                                                "Sec-Fetch-Site: cross-site\r\n")):
        rows.append((f"request screen: {label}", answer(headers), "-"))
    serve.send_signal(signal.SIGINT)
    serve.wait(timeout=10)

if "export" in only and os.path.exists(viewer):
    pages = {"index.html": 2000}
    pages.update({"p%03d.html" % i: 2000 for i in range(400)})
    book = write_book(pack, os.path.join(work, "export"), os.path.join(work, "export.ebook"), pages, home="/index.html")
    subprocess.run([pack, "build", os.path.join(work, "export"), "-o", book, "--allow-print", "--home", "/index.html"],
                   check=True, capture_output=True)
    with open(os.path.join(work, "export", "index.html"), "a") as f:
        f.write("".join('<a href="p%03d.html">%d</a>' % (i, i) for i in range(400)))
    subprocess.run([pack, "build", os.path.join(work, "export"), "-o", book, "--allow-print", "--home", "/index.html"],
                   check=True, capture_output=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1")
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    scratch = os.path.join(runtime if runtime and os.path.isdir(runtime) else tempfile.gettempdir(),
                           "ebook-export-%d" % os.getuid())

    def left():
        files = 0
        for _, _, names in os.walk(scratch):
            files += len(names)
        parts = [n for n in os.listdir(work) if n.endswith(".part")]
        return files, len(parts)

    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGKILL):
        proc = subprocess.Popen([viewer, "--export-pdf", os.path.join(work, "book.pdf"), book], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        seen = b""
        deadline = time.monotonic() + 120
        while b"page 60 " not in seen and time.monotonic() < deadline and proc.poll() is None:
            seen += proc.stderr.read1(4096)
        during = left()[0]
        start = time.monotonic()
        proc.send_signal(sig)
        try:
            status = proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            status = "killed after 10 s"
        ended = time.monotonic() - start
        files, parts = left()
        rows.append((f"PDF export of 401 pages, {signal.Signals(sig).name} at page 60",
                     f"exit {status} after {ended:.2f} s; page PDFs before: {during}, left: {files}; "
                     f"part files left: {parts}", "-"))
    proc = subprocess.Popen([viewer, "--export-pdf", os.path.join(work, "book.pdf"), book], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seen = b""
    while b"page 2 " not in seen and proc.poll() is None:
        seen += proc.stderr.read1(4096)
    proc.send_signal(signal.SIGINT)
    proc.wait(timeout=10)
    rows.append(("the next export after the SIGKILL", "page PDFs left by the killed run: %d" % left()[0], "-"))

if "phrase" in only:
    # serve with its stored index: one client POSTs a long quoted phrase of the book's own words,
    # another asks an ordinary search and a suggestion meanwhile, then SIGINT.
    words = "book page viewer chapter section table figure index server browser pack".split()
    rng = random.Random(7)
    folder = os.path.join(work, "phrase")
    os.makedirs(folder)
    for i in range(200):  # every page of 50 KB holds every word, in an order of its own
        with open(os.path.join(folder, "p%03d.html" % i), "w") as f:
            f.write("<title>P%d</title><p>" % i + " ".join(rng.choice(words) for _ in range(8000)) + "</p>")
    book = os.path.join(work, "phrase.ebook")
    subprocess.run([pack, "build", folder, "-o", book, "--home", "/p000.html"], check=True, capture_output=True)

    def ask(path, body, limit=600):
        start = time.monotonic()
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=limit) as s:
                s.sendall(("POST %s HTTP/1.0\r\nHost: 127.0.0.1:%d\r\nContent-Length: %d\r\n\r\n"
                           % (path, port, len(body))).encode() + body)
                answer = b""
                while chunk := s.recv(65536):
                    answer += chunk
            status = answer.split(b"\r\n")[0].decode()
        except OSError as error:
            status = "failed: %s" % error
            answer = b""
        return status, time.monotonic() - start, answer

    # The longest query taken is 1 MiB, quotes included.
    for size in (8 * 1024, 100 * 1024, 1024 * 1024 - 2):
        serve = subprocess.Popen([pack, "serve", book, "--port", str(port), "--max-body", str(4 * MiB)],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        serve.stdout.readline()
        ask("/.search", b"q=index")  # the index opened
        phrase = " ".join(rng.choice(words) for _ in range(size // 5))[:size]
        long_answer = {}
        thread = threading.Thread(target=lambda: long_answer.update(
            zip(("status", "seconds", "body"),
                ask("/.search", ("format=json&q=" + urllib.parse.quote_plus('"' + phrase + '"')).encode()))))
        thread.start()
        time.sleep(0.2)
        ordinary = ask("/.search", b"q=chapter+table", 120)
        suggest = ask("/.suggest", b"q=chap", 120)
        thread.join()
        peak = process_status(serve.pid, "VmHWM") / MiB
        start = time.monotonic()
        serve.send_signal(signal.SIGINT)
        try:
            serve.wait(timeout=30)
            ended = "SIGINT: exit %d after %.2f s" % (serve.returncode, time.monotonic() - start)
        except subprocess.TimeoutExpired:
            serve.kill()
            ended = "SIGINT: still running after 30 s"
        cut = b'"cut":true' in long_answer.get("body", b"")
        rows.append(("serve: a quoted phrase of %d KiB POSTed to /.search" % (size // 1024),
                     "%s after %.2f s, cut: %s; an ordinary search meanwhile %s after %.2f s, /.suggest %.2f s; %s"
                     % (long_answer.get("status"), long_answer.get("seconds", 0), cut, ordinary[0], ordinary[1],
                        suggest[1], ended), "peak %.0f MiB" % peak))

if "cluster" in only:
    # A ZIM whose page small.html is stored after a blob of 2.9 GB of zeros in its zstd cluster:
    # a reader that inflates the cluster up to the page it wants pays 2.9 GB for five bytes.
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "realbooks"))
    from making import write_png
    zeros = 2_900_000_000
    site = os.path.join(work, "zimsite")
    os.makedirs(site)
    rng = random.Random(7)
    pages = {"index.html": "<p>home</p>", "small.html": "<p>small</p>"}
    for i in range(6):  # incompressible pages give the cluster room for the rewritten frame
        pages["noise%d.html" % i] = "<p>" + "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(120_000))
    for name, text in pages.items():
        with open(os.path.join(site, name), "w") as f:
            f.write("<html><head><title>%s</title></head><body>%s</body></html>" % (name, text))
    write_png(os.path.join(site, "illustration.png"))
    zim_path = os.path.join(work, "cluster.zim")
    made = subprocess.run(["zimwriterfs", "-J", "1", "-j", "--welcome=index.html", "--illustration=illustration.png",
                           "--language=eng", "--title=Cluster", "--description=A page after 2.9 GB",
                           "--creator=bench", "--publisher=bench", site, zim_path], capture_output=True)
    if made.returncode != 0:
        sys.exit("zimwriterfs failed: " + made.stderr.decode(errors="replace")[-300:])
    zim = bytearray(open(zim_path, "rb").read())
    number = lambda at, size: int.from_bytes(zim[at:at + size], "little")
    entries, clusters, path_list, cluster_list, checksum_at = (number(24, 4), number(28, 4), number(32, 8),
                                                                number(48, 8), number(72, 8))
    dirents = {}  # path -> (dirent offset, cluster, blob) of every page entry
    for i in range(entries):
        at = number(path_list + 8 * i, 8)
        if number(at, 2) == 0xFFFF:
            continue  # a redirect holds no blob
        end = zim.index(b"\0", at + 16)
        dirents[zim[at + 16:end].decode()] = (at, number(at + 8, 4), number(at + 12, 4))
    small_at, cluster, blob = dirents["small.html"]
    in_cluster = sorted((b, at) for at, c, b in dirents.values() if c == cluster)
    blobs = max(b for b, _ in in_cluster) + 1
    if blob == 0:  # the small page must follow the zeros: swap it with the entry of blob 1
        other = next(at for b, at in in_cluster if b == 1)
        zim[other + 12:other + 16], zim[small_at + 12:small_at + 16] = struct.pack("<I", 0), struct.pack("<I", 1)
        blob = 1
    start = number(cluster_list + 8 * cluster, 8)
    end = number(cluster_list + 8 * (cluster + 1), 8) if cluster + 1 < clusters else checksum_at
    assert zim[start] & 0x0F == 5, "zimwriterfs stores pages in zstd clusters"
    offsets, at = [], 4 * (blobs + 1)
    for b in range(blobs + 1):
        offsets.append(at)
        at += zeros if b + 1 == blob else (5 if b == blob else 1)
    head = b"".join(struct.pack("<I", o) for o in offsets) + b"x" * (blob - 1)
    zstd = subprocess.Popen(["zstd", "-q", "-1", "-c"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    def feed():
        zstd.stdin.write(head)
        chunk = bytes(64 * MiB)
        for done in range(0, zeros, len(chunk)):
            zstd.stdin.write(chunk[:min(len(chunk), zeros - done)])
        zstd.stdin.write(b"small" + b"x" * (blobs - blob - 1))
        zstd.stdin.close()
    feeder = threading.Thread(target=feed)
    feeder.start()
    frame = zstd.stdout.read()
    feeder.join()
    zstd.wait()
    assert len(frame) <= end - start - 1, "the frame of %d bytes needs more room than %d" % (len(frame), end - start - 1)
    zim[start + 1:start + 1 + len(frame)] = frame
    open(zim_path, "wb").write(zim)
    del zim

    status, seconds, peak, out, err = run([pack, "extract", zim_path, "-d", os.path.join(work, "out"), "small.html"],
                                          limit=600)
    rows.append(("ZIM page stored after 2.9 GB of zeros in its cluster (a %d KiB file), `extract` of that page"
                 % (os.path.getsize(zim_path) // 1024),
                 "exit %s after %.2f s: %s" % (status, seconds, (err.strip().splitlines() or [""])[-1][:140]),
                 "peak %.0f MiB" % peak))
    before = [path for path, (_, c, b) in dirents.items() if c != cluster or b < blob - 1]
    if before:
        status, seconds, peak, out, err = run([pack, "extract", zim_path, "-d", os.path.join(work, "out"), before[0]],
                                              limit=600)
        rows.append(("the same archive, `extract` of a page the zeros do not precede (%s)" % before[0],
                     "exit %s after %.2f s" % (status, seconds), "peak %.0f MiB" % peak))
    status, seconds, peak, out, err = run([pack, "search", zim_path, "small"], limit=600)
    rows.append(("the same archive, `search small`",
                 "exit %s after %.2f s: %s" % (status, seconds, ((out + err).strip().splitlines() or [""])[-1][:140]),
                 "peak %.0f MiB" % peak))

if "sizes" in only:
    import json
    # 10^6 contents entries in book.json: built, then listed whole.
    site = os.path.join(work, "million")
    os.makedirs(site)
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write("<p>home")
    with open(os.path.join(site, "book.json"), "w") as f:
        json.dump({"contents": [{"title": "Entry %d" % i, "page": "index.html"} for i in range(1_000_000)]}, f)
    build_row("book.json of 10^6 contents entries, `build`", site, lambda out, err: out.strip().splitlines()[-1][:90])
    status, seconds, peak, out, _ = run([pack, "contents", os.path.join(work, "out.ebook")])
    rows.append(("the same book, `contents`", "exit %s after %.2f s; %d lines" % (status, seconds, out.count("\n")),
                 "peak %.0f MiB" % peak))

    # One srcset of 34.6 million candidates (173 MB), `check`.
    site = os.path.join(work, "srcset")
    os.makedirs(site)
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write('<img srcset="')
        piece = "a 1x," * 1_000_000
        for _ in range(34):
            f.write(piece)
        f.write("a 1x," * 600_000 + '">')
    status, seconds, peak, out, err = run([pack, "check", site], limit=600)
    rows.append(("one `srcset` of 34.6 million candidates (173 MB page), `check`",
                 "exit %s after %.2f s; %s" % (status, seconds, (out.strip().splitlines() or [""])[-1][:90]),
                 "peak %.0f MiB" % peak))

    # 200,000 folders under `serve --watch`: more than a user's inotify watches here.
    site = os.path.join(work, "folders")
    for i in range(200_000):
        os.makedirs(os.path.join(site, "d%03d" % (i // 1000), "e%d" % i))
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write("<p>home")
    serve = subprocess.Popen(["/usr/bin/time", "-f", "%M", pack, "serve", site, "--watch", "--port", str(port)],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    ticks = os.sysconf("SC_CLK_TCK")
    time.sleep(5)
    child = int(subprocess.run(["pgrep", "-P", str(serve.pid)], capture_output=True, text=True).stdout.split()[0])
    def cpu():
        fields = open("/proc/%d/stat" % child).read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / ticks
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:  # up once it answers
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.5)
    time.sleep(10)
    before = cpu()
    time.sleep(60)
    idle = (cpu() - before) / 60 * 100
    with open(os.path.join(site, "new.html"), "w") as f:
        f.write("<p>new")
    seen_after = None
    start = time.monotonic()
    while time.monotonic() - start < 240:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as c:
                c.sendall(b"GET /new.html HTTP/1.0\r\n\r\n")
                if c.recv(64).startswith(b"HTTP/1.0 200"):
                    seen_after = time.monotonic() - start
                    break
        except OSError:
            pass
        time.sleep(0.2)
    serve.send_signal(signal.SIGINT)
    subprocess.run(["kill", "-INT", str(child)])
    _, err = serve.communicate(timeout=30)
    said = [line for line in err.decode(errors="replace").splitlines() if "inotify" in line or "watch" in line]
    said = [line.replace(work, "DIR") for line in said]
    peak = int(err.split()[-1]) / 1024 if err.split() and err.split()[-1].isdigit() else 0
    rows.append(("`serve FOLDER --watch` of 200,000 folders (this machine allows %s watches)"
                 % open("/proc/sys/fs/inotify/max_user_watches").read().strip(),
                 "said: %s; idle %.1f%% of a core over 60 s; a new page answered after %s" %
                 ((said[0][:100] if said else "nothing"), idle,
                  "%.1f s" % seen_after if seen_after is not None else "more than 240 s"), "peak %.0f MiB" % peak))

print("| Attack | What happens now | Memory |")
print("|---|---|---|")
for attack, outcome, memory in rows:
    print(f"| {attack} | {outcome} | {memory} |")
subprocess.run(["rm", "-rf", work])
