#!/usr/bin/env python3
"""Attacks on a hostile source folder, for the folder table of docs/SECURITY.md: FIFOs, links that
lead outside, files that grow, interrupts. Each case runs `ebook-pack` as a process with a time
limit, so a hang shows as a row, never as a stuck script. Prints one markdown table.
Usage: bench/hostile-folder.py BUILD_DIR"""
import glob, os, signal, socket, subprocess, sys, tempfile, time

from hostile_book import process_status

pack = os.path.join(sys.argv[1], "tools", "ebook-pack")
work = tempfile.mkdtemp(prefix="hostile-folder-")
port = int(os.environ.get("HOSTILE_PORT", "18690"))
rows = []


def site(name, pages):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    for page, text in pages.items():
        with open(os.path.join(folder, page), "w") as f:
            f.write(text)
    return folder


def run(args, limit=30):
    start = time.monotonic()
    try:
        done = subprocess.run([pack, *args], capture_output=True, text=True, timeout=limit)
        return done.returncode, done.stdout + done.stderr, time.monotonic() - start
    except subprocess.TimeoutExpired:
        return "hung (killed after %d s)" % limit, "", time.monotonic() - start


def get(path):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(b"GET " + path.encode() + b" HTTP/1.0\r\n\r\n")
            answer = b""
            while chunk := s.recv(1 << 16):
                answer += chunk
            return answer.split(b" ", 2)[1].decode(), len(answer)
    except OSError as error:
        return "failed: %s" % error, 0


class Serve:
    def __init__(self, folder, *options):
        self.proc = subprocess.Popen([pack, "serve", folder, "--port", str(port), *options],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.proc.stdout.readline()

    def stop(self, signal_number=signal.SIGINT):
        start = time.monotonic()
        peak = process_status(self.proc.pid, "VmHWM")
        self.proc.send_signal(signal_number)
        try:
            code = self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = "hung, killed"
        return "exit %s after %.2f s" % (code, time.monotonic() - start), peak


def fifo_build():
    folder = site("fifo", {"index.html": "<p>home</p>"})
    os.mkfifo(os.path.join(folder, "pipe.html"))
    code, said, seconds = run(["build", folder, "-o", os.path.join(work, "fifo.ebook")])
    named = "skipping pipe.html: a FIFO" in said
    rows.append(("a FIFO in the folder, `build`", "exit %s after %.2f s; named: %s" % (code, seconds, named), "-"))


def fifo_serve():
    folder = site("fifo-serve", {"index.html": "<p>home</p>", "page.html": "<p>page</p>"})
    os.mkfifo(os.path.join(folder, "pipe.html"))
    server = Serve(folder, "--watch")
    before = get("/page.html")[0]
    os.remove(os.path.join(folder, "page.html"))
    os.mkfifo(os.path.join(folder, "page.html"))
    after = get("/page.html")[0]
    time.sleep(1)  # the watch looks at the folder with the FIFOs in it
    stopped, peak = server.stop()
    rows.append(("`serve SRC_DIR --watch`, a FIFO at start and a served page replaced by a FIFO",
                 "page %s before, %s after; SIGINT: %s" % (before, after, stopped), "peak %d MiB" % (peak >> 20)))


def outside_links():
    secret = os.path.join(work, "secret.txt")
    with open(secret, "w") as f:
        f.write("not for the book")
    folder = site("outside", {"index.html": "<p>home</p>"})
    os.symlink(secret, os.path.join(folder, "shadow.txt"))
    code, said, _ = run(["build", folder, "-o", os.path.join(work, "outside.ebook")])
    named = "shadow.txt -> %s: outside the folder, packed" % secret in said
    code2, said2, _ = run(["build", folder, "-o", os.path.join(work, "inside.ebook"), "--no-follow-outside"])
    listed = run(["list", os.path.join(work, "inside.ebook")])[1]
    rows.append(("`shadow.txt -> FILE` outside the folder, `build`",
                 "exit %s, named: %s; with `--no-follow-outside`: exit %s, packed: %s"
                 % (code, named, code2, "shadow.txt" in listed), "-"))
    server = Serve(folder)
    loopback = get("/shadow.txt")[0]
    server.stop()
    server = Serve(folder, "--bind", "0.0.0.0")
    network = get("/shadow.txt")[0]
    os.remove(os.path.join(folder, "index.html"))
    os.symlink(secret, os.path.join(folder, "index.html"))
    swapped = get("/index.html")[0]
    server.stop()
    rows.append(("the same through `serve SRC_DIR`",
                 "on 127.0.0.1: %s; `--bind 0.0.0.0`: %s, and %s for a page swapped for a link outside after start"
                 % (loopback, network, swapped), "-"))


def grown_file():
    folder = site("grown", {"index.html": "<p>home</p>", "big.html": "<p>small at first</p>"})
    server = Serve(folder)
    with open(os.path.join(folder, "big.html"), "r+b") as f:
        f.truncate(1 << 30)
    answers = [get("/big.html")[0] for _ in range(2)]
    stopped, peak = server.stop()
    rows.append(("a served page grows to 1 GiB after start, two requests", "%s; SIGINT: %s" % (", ".join(answers), stopped),
                 "peak %d MiB" % (peak >> 20)))
    code, said, seconds = run(["build", folder, "-o", os.path.join(work, "grown.ebook")])
    rows.append(("`build` of a folder whose page holds 1 GiB", "exit %s after %.2f s: %s"
                 % (code, seconds, said.strip().splitlines()[-1].replace(work + "/", "")[:110]), "-"))


def interrupted_build():
    folder = site("slow", {"index.html": "<p>home</p>"})
    with open(os.path.join(folder, "noise.bin"), "wb") as f:
        f.write(os.urandom(200 << 20))
    results = []
    for name, number in (("SIGINT", signal.SIGINT), ("SIGTERM", signal.SIGTERM), ("SIGHUP", signal.SIGHUP)):
        proc = subprocess.Popen([pack, "build", folder, "-o", os.path.join(work, "slow.ebook"), "--level", "9",
                                 "--threads", "1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        proc.send_signal(number)
        code = proc.wait(timeout=10)
        left = glob.glob(os.path.join(work, ".slow.ebook.tmp-*"))
        results.append("%s: exit %s, %d left behind" % (name, code, len(left)))
    rows.append(("`build` interrupted while it packs", "; ".join(results), "-"))


for case in (fifo_build, fifo_serve, outside_links, grown_file, interrupted_build):
    case()
print("| Attack on a source folder | What happens now | Memory (VmHWM) |")
print("|---|---|---|")
for row in rows:
    print("| %s | %s | %s |" % row)
subprocess.run(["rm", "-rf", work])
