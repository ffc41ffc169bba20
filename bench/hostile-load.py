#!/usr/bin/env python3
"""The hostile-load table of docs/SECURITY.md, rerun against `ebook-pack serve` on loopback.

Each attack runs against a fresh server process, so that its peak memory (VmHWM) is that attack's
own; every wait is bounded and the whole run takes a few minutes. Prints one markdown table.
Usage: bench/hostile-load.py BUILD_DIR   (HOSTILE_ONLY=fds,readers,small,sizes,idle,slowloris,odd,sigint
picks cases; the idle case alone takes 70 s)
"""
import os, resource, signal, socket, subprocess, sys, tempfile, threading, time

from hostile_book import process_status, write_book

build = sys.argv[1]
pack = os.path.join(build, "tools", "ebook-pack")
port = int(os.environ.get("HOSTILE_PORT", "18590"))
work = tempfile.mkdtemp(prefix="hostile-")
MiB = 1 << 20
rows = []
only = os.environ.get("HOSTILE_ONLY", "fds,readers,small,sizes,idle,slowloris,odd,sigint").split(",")


def make_book(name, pages):
    return write_book(pack, os.path.join(work, name), os.path.join(work, name + ".ebook"), pages, home="/small.htm")


class Serve:
    def __init__(self, book, *options, nofile=None):
        def limit():
            if nofile:
                resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
        self.proc = subprocess.Popen([pack, "serve", book, "--port", str(port), *options],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, preexec_fn=limit)
        self.proc.stdout.readline()

    def status(self, field):
        return process_status(self.proc.pid, field)

    def stop(self):
        start = time.monotonic()
        self.proc.send_signal(signal.SIGINT)
        try:
            code = self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = "killed"
        return code, time.monotonic() - start


def connect(timeout=10):
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    return s


def fetch(path, timeout=10):
    """(seconds, bytes received) of one GET, or (None, 0) when it failed."""
    start = time.monotonic()
    try:
        with connect(timeout) as s:
            s.sendall(b"GET " + path.encode() + b" HTTP/1.0\r\n\r\n")
            total = 0
            while True:
                chunk = s.recv(1 << 16)
                if not chunk:
                    break
                total += len(chunk)
        return time.monotonic() - start, total
    except OSError:
        return None, 0


def normal_requests(count, path="/small.htm"):
    times = [fetch(path)[0] for _ in range(count)]
    ok = sorted(t for t in times if t is not None)
    p99 = ok[min(len(ok) - 1, int(len(ok) * 0.99))] if ok else None
    return len(ok), count, p99


def ms(seconds):
    return "-" if seconds is None else "%.1f ms" % (seconds * 1000)


def row(attack, outcome, memory):
    rows.append((attack, outcome, memory))
    print("  %s: %s; %s" % (attack, outcome, memory), file=sys.stderr, flush=True)


def sent_until_closed(payload_parts, total_limit):
    """Sends the parts until the server stops taking them; bytes sent and whether it answered."""
    sent = 0
    answered = False
    try:
        with connect(30) as s:
            for part in payload_parts:
                s.sendall(part)
                sent += len(part)
                if sent >= total_limit:
                    break
            s.shutdown(socket.SHUT_WR)
            # The server may take a while over a gigabyte before it answers.
            s.settimeout(120)
            answered = bool(s.recv(16))
    except OSError:
        pass
    return sent, answered


def repeated(chunk, total):
    while total > 0:
        piece = chunk if total >= len(chunk) else chunk[:total]
        total -= len(piece)
        yield piece


small_book = make_book("small", {"small.htm": 4096, "index.htm": 100})
big_book = make_book("big", {"small.htm": 4096, "a.htm": 50 * MiB, "b.htm": 50 * MiB, "c.htm": 50 * MiB})

# 1. Descriptor exhaustion: 400 connections with 256 descriptors.
if "fds" in only:
    serve = Serve(small_book, "--max-connections", "100000", nofile=256)
    held = []
    for _ in range(400):
        try:
            held.append(connect(2))
        except OSError:
            break
    time.sleep(0.5)
    for s in held:
        s.close()
    freed = time.monotonic()
    answered_after = None
    while time.monotonic() - freed < 10:
        t, n = fetch("/small.htm", timeout=2)
        if t is not None and n > 0:
            answered_after = time.monotonic() - freed
            break
    peak = serve.status("VmHWM")
    code, _ = serve.stop()
    row("400 connections with `ulimit -n 256`",
        "answered again %s after they closed; exit %s on SIGINT" % (ms(answered_after), code), "peak %d MiB" % (peak // MiB))

# 2, 3. Clients that never read 50 MiB pages.
def never_readers(book, pages, options, label):
    serve = Serve(book, *options)
    base = serve.status("VmRSS")
    clients = []
    for i in range(200):
        try:
            s = connect(5)
            s.sendall(("GET /%s HTTP/1.0\r\n\r\n" % pages[i % len(pages)]).encode())
            clients.append(s)
        except OSError:
            pass
    time.sleep(3)
    good, count, p99 = normal_requests(50)
    peak = max(serve.status("VmHWM"), serve.status("VmRSS"))
    code, took = serve.stop()
    for s in clients:
        s.close()
    row(label, "%d of %d normal requests answered meanwhile, p99 %s; SIGINT: exit %s after %.2f s"
        % (good, count, ms(p99), code, took), "peak %d MiB (at start %d MiB)" % (peak // MiB, base // MiB))

if "readers" in only:
    never_readers(big_book, ["a.htm"], ["--cache-mb", "0"], "200 clients that never read a 50 MiB page, `--cache-mb 0`")
    never_readers(big_book, ["a.htm", "b.htm", "c.htm"], [], "the same, default cache, three 50 MiB pages")

# 4. Small pages beside large ones being read.
if "small" in only:
    serve = Serve(big_book)
    stop_readers = threading.Event()
    def reader(page):
        while not stop_readers.is_set():
            fetch("/" + page, timeout=30)
    readers = [threading.Thread(target=reader, args=(p,)) for p in ["a.htm", "b.htm", "c.htm", "a.htm"]]
    for t in readers:
        t.start()
    time.sleep(1)
    good, count, p99 = normal_requests(200)
    stop_readers.set()
    for t in readers:
        t.join()
    serve.stop()
    row("4 clients that read 50 MiB pages", "4 KiB page: %d of %d answered, p99 %s" % (good, count, p99 and ms(p99)), "-")

# 5-7. Long lines, many header lines, large bodies: with serve's limits, then without them (the
# viewer has none), where memory must stay near what was sent.
unlimited = ["--max-request-line", "2147483647", "--max-headers", "2147483647", "--max-body", "2147483647"]
cases = [
    ("one 1 GiB header line", lambda: [b"GET /small.htm HTTP/1.0\r\nX-Long: "] + list(repeated(b"L" * MiB, 1 << 30)) + [b"\r\n\r\n"], (1 << 30) + 64),
    ("10 million short header lines", lambda: [b"GET /small.htm HTTP/1.0\r\n"] + list(repeated(b"X-Line: yy\r\n" * 87381, 12 * 10_000_000)) + [b"\r\n"], 12 * 10_000_000 + 64),
    ("a 1.2 GiB POST body", lambda: [b"POST /small.htm HTTP/1.0\r\nContent-Length: 1288490188\r\n\r\n"] + list(repeated(b"x" * MiB, 1288490188)), 1288490188 + 64),
]
for label, parts, total in cases if "sizes" in only else []:
    for options, which in [([], "serve's limits"), (unlimited, "no limits")]:
        serve = Serve(small_book, *options)
        base = serve.status("VmRSS")
        start = time.monotonic()
        sent, answered = sent_until_closed(parts(), total)
        took = time.monotonic() - start
        peak = serve.status("VmHWM")
        serve.stop()
        if options:
            outcome = "%s: %s after %d MiB sent, %.1f s" % (which, "answered" if answered else "closed", sent // MiB, took)
        else:
            outcome = "%s: %s after %d KiB sent" % (which, "answered" if answered else "closed unanswered", sent // 1024)
        row(label, outcome, "peak %.2f× what was sent (%d MiB above start)" % ((peak - base) / max(sent, 1), (peak - base) // MiB)
            if options else "peak %d MiB above start" % ((peak - base) // MiB))

# 8. Idle connections.
if "idle" in only:
    serve = Serve(small_book)
    idle = []
    for _ in range(2000):
        try:
            idle.append(connect(5))
        except OSError:
            break
    time.sleep(1)
    good, count, p99 = normal_requests(50)
    start = time.monotonic()
    def closed(s):
        s.settimeout(0)
        try:
            return s.recv(1) == b""
        except BlockingIOError:
            return False
        except OSError:
            return True
    while time.monotonic() - start < 80 and not all(closed(s) for s in idle):
        time.sleep(1)
    all_closed = all(closed(s) for s in idle)
    gone_after = time.monotonic() - start
    peak = serve.status("VmHWM")
    code, took = serve.stop()
    for s in idle:
        s.close()
    row("2,000 connections that send nothing", "%d held; normal requests %d of %d, p99 %s; %s"
        % (len(idle), good, count, ms(p99), "all closed by the idle timeout within %.0f s" % gone_after if all_closed else "not all closed after 80 s"),
        "peak %d MiB" % (peak // MiB))

# 9. Slowloris: connections that send their request a byte at a time, never finishing it.
if "slowloris" in only:
    serve = Serve(small_book)
    slow = []
    for _ in range(3000):
        try:
            s = connect(5)
            s.sendall(b"GET /small.htm HTTP/1.0\r\nX-Slow: ")
            slow.append(s)
        except OSError:
            break
    results = []
    for _ in range(10):
        for s in slow:
            try:
                s.send(b"s")
            except OSError:
                pass
        results.append(normal_requests(5))
        time.sleep(1)
    good = sum(r[0] for r in results)
    count = sum(r[1] for r in results)
    p99 = max((r[2] for r in results if r[2] is not None), default=None)
    peak = serve.status("VmHWM")
    code, took = serve.stop()
    for s in slow:
        s.close()
    row("3,000 slowloris connections (a header byte each per second for 10 s)",
        "%d held; normal requests %d of %d, worst p99 %s; SIGINT: exit %s after %.2f s" % (len(slow), good, count, ms(p99), code, took),
        "peak %d MiB" % (peak // MiB))

# 10. Odd request lines: each is answered or closed, and the server goes on answering.
if "odd" in only:
    serve = Serve(small_book)
    methods = [b"GET", b"get", b"POST", b"HEAD", b"PUT", b"OPTIONS", b"", b"G\x00T", b"\xff\xfe", b"GET" * 3000]
    targets = [b"/small.htm", b"", b"*", b"/%", b"/%zz", b"/%00", b"/../../etc/passwd", b"/small.htm?" + b"a=" * 5000,
               b"http://host/small.htm", b"/caf\xe9.htm", b"/ /", b"\t/small.htm"]
    versions = [b" HTTP/1.0", b" HTTP/1.1", b"", b" HTTP/9.9", b" HTTP/1.0 extra"]
    ends = [b"\r\n\r\n", b"\n\n", b"\r\r", b"\r\n"]
    lines = [m + b" " + t + v for m in methods for t in targets for v in versions][:224]
    outcomes = {"answered": 0, "closed": 0, "no end": 0}
    for i, line in enumerate(lines):
        try:
            with connect(5) as s:
                s.sendall(line + ends[i % len(ends)])
                s.shutdown(socket.SHUT_WR)
                outcomes["answered" if s.recv(16) else "closed"] += 1
        except OSError:
            outcomes["no end"] += 1
    good, count, p99 = normal_requests(50)
    alive = serve.proc.poll() is None
    peak = serve.status("VmHWM")
    serve.stop()
    row("%d odd request lines (methods, targets, versions, line ends)" % len(lines),
        "%d answered, %d closed unanswered, %d not ended within 5 s; %s; normal requests %d of %d, p99 %s"
        % (outcomes["answered"], outcomes["closed"], outcomes["no end"], "still running" if alive else "ENDED", good, count, ms(p99)),
        "peak %d MiB" % (peak // MiB))

# 11. SIGINT with 200 extractions of a 50 MiB page queued behind the memory bound.
if "sigint" in only:
    serve = Serve(big_book, "--cache-mb", "0", "--memory-mb", "60")
    clients = []
    for i in range(200):
        try:
            s = connect(5)
            s.sendall(("GET /%s HTTP/1.0\r\n\r\n" % "abc"[i % 3] + ".htm").encode())
            clients.append(s)
        except OSError:
            pass
    time.sleep(2)
    code, took = serve.stop()
    for s in clients:
        s.close()
    row("SIGINT with 200 extractions of 50 MiB pages waiting", "exit %s after %.2f s" % (code, took), "-")

print("| Attack | What happens now | Memory |")
print("|---|---|---|")
for attack, outcome, memory in rows:
    print("| %s | %s | %s |" % (attack, outcome, memory))
subprocess.run(["rm", "-rf", work])
