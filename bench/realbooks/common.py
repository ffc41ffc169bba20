"""Logging and running commands for bench/real-books."""

import subprocess
import sys
import time


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", file=sys.stderr, flush=True)


def run(command, timeout=None, env=None, cwd=None):
    """Runs a command and returns (exit status, stdout, stderr); a program that cannot be started
    or runs past its time answers 127 or 124 with the reason in stderr."""
    try:
        done = subprocess.run(command, capture_output=True, timeout=timeout, env=env, cwd=cwd)
        return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")
    except FileNotFoundError as error:
        return 127, "", str(error)
    except subprocess.TimeoutExpired:
        return 124, "", f"no answer after {timeout} s"


def last_line(text):
    lines = [line for line in text.strip().splitlines() if line.strip()]
    return lines[-1] if lines else ""


class Failure(Exception):
    pass
