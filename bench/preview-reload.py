#!/usr/bin/env python3
"""An open page of `ebook-pack serve SRC_DIR --watch` in a real engine (Qt WebEngine, offscreen):
how long after each change to its file the page shows the new text, with no key pressed.
Changes: the page rewritten; deleted (the open page becomes the not-found answer) and written
again; saved with markup left open (`<div` at the end, `<!--` before `</body>`) and then fixed; the
whole folder emptied and filled again, as a generator does.
Usage: bench/preview-reload.py EBOOK_PACK RELOAD_PROBE   (the probe: bench/preview/ReloadProbe.cpp)"""
import os, shutil, signal, subprocess, sys, tempfile, threading, time

pack, probe_program = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="preview-reload-")
site = os.path.join(work, "site")
os.makedirs(site)
page = os.path.join(site, "index.html")


def write(text):
    with open(page + ".part", "w") as f:
        f.write(text)
    os.replace(page + ".part", page)


write("<!DOCTYPE html><html><body><p>version 1</p></body></html>")
server = subprocess.Popen([pack, "serve", site, "--watch"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
url = server.stdout.readline().strip()
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox")
probe = subprocess.Popen([probe_program, url], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True, env=env)
shown = []  # (monotonic time, text)
lock = threading.Condition()


def read():
    for line in probe.stdout:
        with lock:
            shown.append((time.monotonic(), line.split(" ", 1)[1].strip() if " " in line else ""))
            lock.notify_all()


threading.Thread(target=read, daemon=True).start()


def wait_for(text, limit=10.0):
    """Seconds until the page shows `text`, or None."""
    start = time.monotonic()
    with lock:
        while True:
            for when, now in shown:
                if text in now and when >= start - 0.001:
                    return when - start
            remaining = limit - (time.monotonic() - start)
            if remaining <= 0:
                return None
            lock.wait(remaining)


def step(name, change, expected):
    with lock:
        shown.clear()
    start = time.monotonic()
    change()
    seconds = wait_for(expected)
    rows.append((name, "shown after %.2f s" % seconds if seconds is not None else "NOT shown within 10 s"))


rows = []
assert wait_for("version 1", 30) is not None, "the page never loaded"
step("page rewritten", lambda: write("<p>version 2</p>"), "version 2")
step("page deleted (the open page becomes the not-found answer)", lambda: os.remove(page), "404")
step("... and written again", lambda: write("<p>version 3</p>"), "version 3")
step("saved with `<div` at the end", lambda: write("<p>version 4</p><div"), "version 4")
step("... and fixed", lambda: write("<p>version 5</p>"), "version 5")
step("saved with `<!--` before `</body>`", lambda: write("<html><body><p>version 6</p><!--</body></html>"), "version 6")
step("... and fixed", lambda: write("<html><body><p>version 7</p></body></html>"), "version 7")


def empty():
    shutil.rmtree(site)
    os.makedirs(site)


step("folder emptied by a generator", empty, "404")
step("... and filled again", lambda: write("<p>version 8</p>"), "version 8")
probe.stdin.close()
probe.wait(10)
server.send_signal(signal.SIGINT)
server.wait(10)
shutil.rmtree(work)
print("| Change to the open page's file | The open page |")
print("|---|---|")
for row in rows:
    print("| %s | %s |" % row)
sys.exit(0 if all("NOT" not in r[1] for r in rows) else 1)
