#!/usr/bin/env python3
"""The attacks of the hostile-load table rerun against the viewer itself (offscreen).

Each attack runs against a fresh `ebook` process, so that its peak memory (VmHWM) is that attack's
own; the memory the attack costs is VmHWM less the viewer's resident size before it. While an
attack runs, requests as the viewer's own engine sends them (Host 127.0.0.1:PORT, same-origin)
ask for a 4 KiB page every 50 ms: their slowest answer and p99 show whether the viewer keeps
serving its reader. Every wait is bounded; the whole run takes about two minutes. Prints one
markdown table.
Usage: bench/hostile-viewer.py BUILD_DIR   (HOSTILE_ONLY=unread80,unread4,headers,idle,readers picks
cases)
"""
import multiprocessing, os, resource, signal, socket, subprocess, sys, tempfile, threading, time

from hostile_book import process_status, write_book

build = sys.argv[1]
pack = os.path.join(build, "tools", "ebook-pack")
viewer = os.path.join(build, "viewer", "ebook")
work = tempfile.mkdtemp(prefix="hostile-viewer-")
MiB = 1 << 20
only = os.environ.get("HOSTILE_ONLY", "unread80,unread4,headers,idle,readers").split(",")
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


def make_book():
    pages = {"index.htm": 4096, "small.htm": 4096, "mid.htm": 4 * MiB, "big.htm": 80 * MiB}
    return write_book(pack, os.path.join(work, "book"), os.path.join(work, "book.ebook"), pages)


def listening_port(pid):
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    with open(f"/proc/{pid}/net/tcp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if fields[3] == "0A" and fields[9] in inodes and fields[1].startswith("0100007F:"):
                return int(fields[1].split(":")[1], 16)
    return None


class Viewer:
    def __init__(self, book):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1",
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update "
                                              "--no-first-run")
        env.pop("DISPLAY", None)
        self.proc = subprocess.Popen([viewer, book], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        self.port = None
        while self.port is None and time.monotonic() < deadline:
            time.sleep(0.1)
            self.port = listening_port(self.proc.pid)
        time.sleep(2)  # the home page loads
        self.base = self.status("VmRSS")

    def status(self, field):
        return process_status(self.proc.pid, field)

    def fds(self):
        return len(os.listdir("/proc/%d/fd" % self.proc.pid))

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def own_load(port, path="/small.htm", timeout=5):
    """Seconds for one request as the engine sends it, or None when it failed."""
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            s.sendall(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                      b"Sec-Fetch-Site: same-origin\r\n\r\n" % port)
            got = 0
            while True:
                chunk = s.recv(1 << 16)
                if not chunk:
                    break
                got += len(chunk)
        return time.monotonic() - start if got > 4096 else None
    except OSError:
        return None


class OwnLoads:
    """The engine's requests every 50 ms while an attack runs, from a process of their own, so
    that the attacking clients of this one do not hold up the measuring client."""

    def __init__(self, port):
        self.stop = multiprocessing.Event()
        self.results, sender = multiprocessing.Pipe(duplex=False)
        self.process = multiprocessing.Process(target=OwnLoads.run, args=(port, self.stop, sender))
        self.process.start()

    @staticmethod
    def run(port, stop, sender):
        times, failed = [], 0
        while not stop.is_set():
            took = own_load(port)
            if took is None:
                failed += 1
            else:
                times.append(took)
            time.sleep(0.05)
        sender.send((times, failed))

    def finish(self):
        self.stop.set()
        times, failed = self.results.recv()
        self.process.join()
        times = sorted(times)
        if not times:
            return "none answered, %d failed" % failed
        p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
        return "%d answered, %d failed, p99 %.1f ms, slowest %.1f ms" % (
            len(times), failed, p99 * 1000, times[-1] * 1000)


rows = []


def attack(name, book, run):
    v = Viewer(book)
    if v.port is None:
        rows.append((name, "the viewer did not listen", "-"))
        v.stop()
        return
    loads = OwnLoads(v.port)
    outcome = run(v)
    own = loads.finish()
    cost = max(0, v.status("VmHWM") - v.base)
    rows.append((name, "%s; own loads: %s" % (outcome, own), "%.0f MiB above the %.0f MiB before" % (cost / MiB, v.base / MiB)))
    v.stop()


def never_readers(count, path):
    def run(v):
        sockets = []
        for _ in range(count):
            try:
                s = socket.create_connection(("127.0.0.1", v.port), timeout=5)
                s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                s.sendall(b"GET " + path + b" HTTP/1.0\r\n\r\n")
                sockets.append(s)
            except OSError:
                pass
        time.sleep(10)
        for s in sockets:
            s.close()
        return "%d clients that never read held 10 s" % len(sockets)
    return run


def header_lines(v):
    sent = [0] * 4

    def one(i):
        try:
            with socket.create_connection(("127.0.0.1", v.port), timeout=10) as s:
                s.sendall(b"GET /small.htm HTTP/1.0\r\nX-Long: ")
                chunk = b"a" * MiB
                while sent[i] < 1024 * MiB:
                    s.sendall(chunk)
                    sent[i] += len(chunk)
        except OSError:
            pass
    threads = [threading.Thread(target=one, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    return "4 header lines of up to 1 GiB: closed after %s MiB sent" % "/".join(str(n // MiB) for n in sent)


def idle(v):
    sockets = []
    for _ in range(4176):
        try:
            sockets.append(socket.create_connection(("127.0.0.1", v.port), timeout=5))
        except OSError:
            break
    held = len(sockets)
    fds = []
    for _ in range(15):
        time.sleep(1)
        fds.append(v.fds())
    closed = 0
    for s in sockets:
        s.setblocking(False)
        try:
            if s.recv(1) == b"":
                closed += 1
        except BlockingIOError:
            pass
        except OSError:
            closed += 1
        s.close()
    return "%d idle connections held 15 s: %d closed by the viewer, its descriptors at most %d" % (held, closed, max(fds))


def readers(v):
    done = [False]

    def read_big():
        while not done[0]:
            own_load(v.port, "/big.htm", timeout=30)
    threads = [threading.Thread(target=read_big) for _ in range(4)]
    for t in threads:
        t.start()
    time.sleep(10)
    done[0] = True
    for t in threads:
        t.join(timeout=60)
    return "4 clients reading the 80 MiB page for 10 s"


book = make_book()
cases = {
    "unread80": ("50 clients request an 80 MiB page and never read it", never_readers(50, b"/big.htm")),
    "unread4": ("1,000 clients request a 4 MiB page and never read it", never_readers(1000, b"/mid.htm")),
    "headers": ("four 1 GiB header lines", header_lines),
    "idle": ("4,176 idle connections", idle),
    "readers": ("four clients read an 80 MiB page; a 4 KiB page meanwhile", readers),
}
for key in only:
    name, run = cases[key]
    attack(name, book, run)
print("| Attack on the viewer | What happens | Memory (VmHWM) |")
print("|---|---|---|")
for r in rows:
    print("| %s | %s | %s |" % r)
subprocess.run(["rm", "-rf", work])
