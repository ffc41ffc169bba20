#!/usr/bin/env python3
"""The viewer as a user starts it: a separate process on the offscreen platform and on a bare X
server without a window manager, read from outside with a raw HTTP client. Also the program made
of viewer and book by `ebook-pack build --stub`."""

import argparse
import html
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
NOT_FOUND = (b"HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
             b"Content-Length: 60\r\n\r\n<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>")
ENGINE_FLAGS = "--disable-background-networking --disable-component-update --no-first-run"


def listening_ports(pid):
    """The 127.0.0.1 ports the process listens on, from its sockets' inodes in /proc."""
    inodes = set()
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    except OSError:
        return []
    ports = []
    with open(f"/proc/{pid}/net/tcp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            local, state, inode = fields[1], fields[3], fields[9]
            if state == "0A" and inode in inodes and local.startswith("0100007F:"):
                ports.append(int(local.split(":")[1], 16))
    return ports


def wait_for(condition, seconds=30.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    return None


def request(port, text):
    with socket.create_connection(("127.0.0.1", port), timeout=20) as connection:
        connection.sendall(text)
        answer = b""
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                return answer
            answer += chunk


class Viewer:
    """One viewer process; ended at exit of the with-block."""

    def __init__(self, arguments, env, program=None):
        self.process = subprocess.Popen([program or ARGS.ebook] + arguments, env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()

    def port(self):
        ports = wait_for(lambda: listening_ports(self.process.pid))
        if not ports:
            raise AssertionError("the viewer never listened; stderr:\n" + self.stderr_so_far())
        return ports[0]

    def stderr_so_far(self):
        if self.process.poll() is None:
            return "(still running)"
        return self.process.stderr.read().decode(errors="replace")


class ViewerProcessTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="ebook-process-test-")
        cls.book = os.path.join(cls.work, "guide.ebook")
        subprocess.run([ARGS.pack, "build", ARGS.guide, "-o", cls.book], check=True, capture_output=True)
        info = json.loads(subprocess.run([ARGS.pack, "info", "--json", cls.book], check=True,
                                         capture_output=True).stdout)
        cls.home = info["homePage"]
        cls.book_title = info["title"]
        pages = os.path.join(cls.work, "pages")
        subprocess.run([ARGS.pack, "extract", cls.book, "-d", pages], check=True, capture_output=True)
        with open(pages + cls.home, "rb") as page:
            cls.home_bytes = page.read()
        title = re.search(rb"<title>(.*?)</title>", cls.home_bytes, re.S).group(1)
        cls.home_title = html.unescape(title.decode("cp1252")).strip()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def environment(self, **extra):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["QTWEBENGINE_CHROMIUM_FLAGS"] = ENGINE_FLAGS
        env.update(extra)
        return env

    def check_serves_the_book(self, port):
        self.assertTrue(11111 <= port <= 12110, port)
        self.assertTrue(self.home.lower().endswith((".htm", ".html")), self.home)
        expected = (b"HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
                    b"Content-Length: %d\r\n\r\n" % len(self.home_bytes)) + self.home_bytes
        self.assertEqual(request(port, b"GET %s HTTP/1.0\r\n\r\n" % self.home.encode()), expected)
        self.assertEqual(request(port, b"GET /no/such/page.htm HTTP/1.0\r\n\r\n"), NOT_FOUND)

    def test_help_and_version_answer_without_a_display(self):
        for option, text in (("--help", b"Usage: ebook [BOOK]"), ("--version", b"ebook ")):
            run = subprocess.run([ARGS.ebook, option], env=self.environment(), capture_output=True, timeout=30)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertTrue(run.stdout.startswith(text), run.stdout)

    def test_a_missing_book_file_is_reported_with_its_name_and_status_1(self):
        missing = os.path.join(self.work, "gone.ebook")
        run = subprocess.run([ARGS.ebook, missing], env=self.environment(QT_QPA_PLATFORM="offscreen"),
                             capture_output=True, timeout=60)
        self.assertEqual(run.returncode, 1)
        self.assertIn(b"Cannot open file " + missing.encode() + b"\n", run.stderr)

    def isolated_home(self, name):
        """HOME and the XDG folders, empty, inside the test's own folder."""
        home = os.path.join(self.work, name)
        folders = {key: os.path.join(home, key.lower()) for key in
                   ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR")}
        for folder in folders.values():
            os.makedirs(folder, mode=0o700)
        return dict(HOME=home, **folders)

    def assert_nothing_written(self, folders):
        home = folders["HOME"]
        created = [os.path.join(root, name) for root, dirs, names in os.walk(home) for name in dirs + names]
        self.assertEqual(sorted(set(created) - set(folders.values())), [])

    def test_offscreen_it_serves_the_book_byte_for_byte_and_writes_no_file(self):
        folders = self.isolated_home("offscreen-home")
        with Viewer([self.book], self.environment(QT_QPA_PLATFORM="offscreen", **folders)) as viewer:
            self.check_serves_the_book(viewer.port())
            # The engine writes, if at all, while it starts and loads the page; that is over by now.
            time.sleep(2)
        self.assert_nothing_written(folders)

    def test_on_a_bare_x_server_the_caption_is_book_title_and_page_title(self):
        if shutil.which("Xvfb") is None or shutil.which("xwininfo") is None:
            self.skipTest("Xvfb or xwininfo is not installed")
        display = next(n for n in range(120, 200) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        server = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{display}"), 10))
            folders = self.isolated_home("x-home")
            env = self.environment(DISPLAY=f":{display}", **folders)
            caption = f"{self.book_title} - {self.home_title}"
            with Viewer([self.book], env) as viewer:
                self.check_serves_the_book(viewer.port())

                def shown():
                    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True).stdout
                    return ('"%s"' % caption).encode() in tree
                self.assertTrue(wait_for(shown), f"no window captioned {caption!r}")
            self.assert_nothing_written(folders)
        finally:
            server.terminate()
            server.wait()

    def test_a_program_made_with_stub_shows_its_own_book(self):
        program = os.path.join(self.work, "guide-program")
        subprocess.run([ARGS.pack, "build", ARGS.guide, "-o", program, "--stub", ARGS.ebook], check=True,
                       capture_output=True)
        self.assertTrue(os.access(program, os.X_OK))
        with Viewer([], self.environment(QT_QPA_PLATFORM="offscreen"), program=program) as viewer:
            self.check_serves_the_book(viewer.port())


class XServer:
    """An Xvfb server of its own, with openbox on it when asked; both ended at exit."""

    def __init__(self, screen="1600x1000x24", window_manager=False):
        self.display = next(n for n in range(200, 300) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        self.server = subprocess.Popen(["Xvfb", f":{self.display}", "-screen", "0", screen, "-nolisten", "tcp"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.manager = None
        self.window_manager = window_manager

    def __enter__(self):
        if not wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{self.display}"), 10):
            raise AssertionError("Xvfb did not start")
        if self.window_manager:
            self.manager = subprocess.Popen(["openbox"], env=self.env(), stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            # openbox owns the screen once it has set its supporting-window property.
            if not wait_for(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(), capture_output=True).stdout, 10):
                raise AssertionError("openbox did not start")
        return self

    def __exit__(self, *exc):
        for process in (self.manager, self.server):
            if process is not None:
                process.terminate()
                process.wait()

    def env(self):
        return {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")} | {
            "DISPLAY": f":{self.display}", "QTWEBENGINE_CHROMIUM_FLAGS": ENGINE_FLAGS}

    def window(self, title_prefix):
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env(), capture_output=True, text=True).stdout
        for line in tree.splitlines():
            parts = line.split('"')
            if len(parts) > 1 and parts[1].startswith(title_prefix):
                return line.split()[0]
        return None

    def outer_rectangle(self, window):
        """The client's rectangle grown by the frame the window manager reports."""
        info = subprocess.run(["xwininfo", "-id", window], env=self.env(), capture_output=True, text=True).stdout
        value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
        x, y, w, h = value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")
        extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], env=self.env(), capture_output=True,
                                 text=True).stdout
        found = re.search(r"= (\d+), (\d+), (\d+), (\d+)", extents)
        left, right, top, bottom = map(int, found.groups()) if found else (0, 0, 0, 0)
        return (x - left, y - top, w + left + right, h + top + bottom)

    def states(self, window):
        return subprocess.run(["xprop", "-id", window, "_NET_WM_STATE", "_MOTIF_WM_HINTS"], env=self.env(),
                              capture_output=True, text=True).stdout


@unittest.skipIf(shutil.which("Xvfb") is None or shutil.which("openbox") is None, "Xvfb or openbox is not installed")
class WindowPlacementTest(unittest.TestCase):
    """Where the window stands on a 1600 x 1000 screen, with and without a window manager."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="ebook-placement-test-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def book(self, name, *settings):
        path = os.path.join(self.work, name + ".ebook")
        subprocess.run([ARGS.pack, "build", ARGS.guide, "-o", path, "--title", "Placed"] + list(settings),
                       check=True, capture_output=True)
        return path

    def placed(self, server, book, settled):
        """Runs the viewer on the book until settled(window) holds; gives what it held."""
        with Viewer([book], server.env()) as viewer:
            viewer.port()
            window = wait_for(lambda: server.window("Placed - "))
            self.assertIsNotNone(window, "no captioned window")
            result = wait_for(lambda: settled(window), 10)
            return window, result

    def test_bounds_and_centring_give_the_outer_rectangle_asked_for(self):
        custom = self.book("custom", "--position-mode", "Custom", "--window-left", "262", "--window-top", "234",
                           "--window-width", "500", "--window-height", "300")
        centred = self.book("centred", "--position-mode", "ScreenCenter", "--window-width", "500",
                            "--window-height", "300")
        wide = self.book("wide", "--position-mode", "DesktopCenter", "--window-width", "2000",
                         "--window-height", "300")
        covering = self.book("covering", "--size-mode", "AdjustedToScreen")
        cases = ((custom, (262, 234, 500, 300)), (centred, (550, 350, 500, 300)), (wide, (0, 350, 2000, 300)),
                 (covering, (0, 0, 1600, 1000)))
        for manager in (False, True):
            with XServer(window_manager=manager) as server:
                for book, expected in cases:
                    with self.subTest(book=os.path.basename(book), window_manager=manager):
                        _, outer = self.placed(server, book, lambda w: (
                            server.outer_rectangle(w) if server.outer_rectangle(w) == expected else None))
                        self.assertEqual(outer, expected)

    def test_a_full_screen_book_opens_borderless_and_maximized_under_a_window_manager(self):
        book = self.book("full", "--size-mode", "FullScreen")
        with XServer(window_manager=True) as server:
            _, settled = self.placed(server, book, lambda w: (
                (server.states(w), server.outer_rectangle(w))
                if "_NET_WM_STATE_MAXIMIZED_HORZ" in server.states(w) else None))
            self.assertIsNotNone(settled, "never maximized")
            states, outer = settled
            self.assertIn("_NET_WM_STATE_MAXIMIZED_VERT", states)
            # Motif hints with no decorations: the window manager draws no border or title.
            self.assertRegex(states, r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = 0x[0-9a-f]*2, 0x[0-9a-f]+, 0x0")
            self.assertEqual(outer, (0, 0, 1600, 1000))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--ebook", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--guide", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
