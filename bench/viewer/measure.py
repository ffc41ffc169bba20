#!/usr/bin/env python3
"""Start-up, memory and navigation of the viewer against the floor: a minimal Qt WebEngine
program that shows the same pages from files. Both run in turn, several times, on the offscreen
platform; the figures are medians. The viewer with its dark reading mode on and a zoom set runs in
the same rounds and is held against the plain viewer."""

import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = int(os.environ.get("VIEWER_BENCH_RUNS", "9"))
ROUNDS = 20


def run(command, env):
    start = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    figures = {}
    for line in process.stdout:
        name, value = line.split()
        figures[name] = float(value)
        if name == "ready":
            figures["start"] = (time.monotonic() - start) * 1000
    process.wait(timeout=120)
    if process.returncode != 0 or "navigation" not in figures:
        raise SystemExit(f"{command[0]} failed ({process.returncode}): {figures}")
    return figures


def main():
    build = sys.argv[1]
    pack = os.path.join(build, "tools", "ebook-pack")
    probes = os.path.join(build, "bench", "viewer")
    guide = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples", "guide")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               QTWEBENGINE_CHROMIUM_FLAGS="--disable-background-networking --disable-component-update --no-first-run")
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    with tempfile.TemporaryDirectory() as work:
        book = os.path.join(work, "guide.ebook")
        subprocess.run([pack, "build", guide, "-o", book], check=True, capture_output=True)
        subprocess.run([pack, "extract", book, "-d", os.path.join(work, "pages")], check=True, capture_output=True)
        pages = os.path.join(work, "pages")
        # The guide links its style sheet and images from the book's root ("/style.css"); from a
        # file that is the file system's root, so the floor's copies of the pages at the book's
        # root link them relatively instead, and both programs load the same resources.
        for name in os.listdir(pages):
            if name.endswith(".htm"):
                with open(os.path.join(pages, name), "rb") as page:
                    text = page.read()
                with open(os.path.join(pages, name), "wb") as page:
                    page.write(text.replace(b'="/', b'="'))
        info = json.loads(subprocess.run([pack, "info", "--json", book], check=True, capture_output=True).stdout)
        home, a, b = info["homePage"], "/reading.htm", "/index.htm"
        width, height = info["display"]["windowWidth"] or 572, info["display"]["windowHeight"] or 412
        viewer = [os.path.join(probes, "viewer_probe"), book, a, b, str(ROUNDS)]
        floor = [os.path.join(probes, "floor_probe")] + [pages + page for page in (home, a, b)] \
            + [str(ROUNDS), str(width), str(height)]
        results = {"viewer": [], "floor": [], "aids": []}
        for _ in range(RUNS):
            results["floor"].append(run(floor, env))
            results["viewer"].append(run(viewer, env))
            results["aids"].append(run(viewer + ["reading-aids"], env))

    def median(who, figure):
        return statistics.median(r[figure] for r in results[who])

    print(f"viewer against the floor program, offscreen, medians of {RUNS} runs each")
    print(f"{'figure':<34}{'viewer':>10}{'floor':>10}{'ratio':>8}{'target':>8}")
    for figure, unit, target in (("start", "ms", 1.2), ("navigation", "ms", 1.2), ("memory", "MiB", 1.1)):
        scale = 1 / 1024 if unit == "MiB" else 1
        v, f = median("viewer", figure) * scale, median("floor", figure) * scale
        label = {"start": "process start to home page loaded", "navigation": "page to page",
                 "memory": "resident, process and engine"}[figure]
        print(f"{label + ' (' + unit + ')':<34}{v:>10.1f}{f:>10.1f}{v / f:>8.2f}{target:>8.1f}")

    print()
    print("viewer with dark reading mode and 125 % zoom against the plain viewer, same runs")
    print(f"{'figure':<34}{'aids':>10}{'plain':>10}{'ratio':>8}{'target':>8}")
    for figure, unit, label in (("navigation", "ms", "page to page"), ("memory", "MiB", "resident, process and engine")):
        scale = 1 / 1024 if unit == "MiB" else 1
        a, v = median("aids", figure) * scale, median("viewer", figure) * scale
        print(f"{label + ' (' + unit + ')':<34}{a:>10.1f}{v:>10.1f}{a / v:>8.2f}{1.1:>8.1f}")


if __name__ == "__main__":
    main()
