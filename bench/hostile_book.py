"""What the attack scripts (bench/hostile-load.py, bench/hostile-viewer.py) share: books of made-up
HTML pages, and a process's memory figures."""
import os, random, subprocess


def page_text(size, seed):
    rng = random.Random(seed)
    words = "book page viewer chapter section table figure index server browser pack".split()
    block = "".join("<p>" + " ".join(rng.choice(words) for _ in range(12)) + "</p>\n" for _ in range(2000))
    return (block * (size // len(block) + 1))[:size]


def write_book(pack, folder, book, pages, home=None):
    """Writes `pages` (name: size in bytes) into `folder` and builds them into `book`."""
    os.makedirs(folder)
    for page, size in pages.items():
        with open(os.path.join(folder, page), "w") as f:
            f.write(page_text(size, len(page)))
    # A folder of several pages without an index names its home page.
    command = [pack, "build", folder, "-o", book] + (["--home", home] if home else [])
    subprocess.run(command, check=True, capture_output=True)
    return book


def process_status(pid, field):
    """A size field of /proc/PID/status (VmRSS, VmHWM) in bytes; 0 when it is not there."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0
