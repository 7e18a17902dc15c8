"""Waiting for something that another process does."""
import time


def until(probe, timeout=30, step=0.2):
    """The first true value of `probe()` within `timeout` seconds, or its last false one."""
    deadline = time.time() + timeout
    while True:
        value = probe()
        if value or time.time() > deadline:
            return value
        time.sleep(step)


def wait_exit(proc, timeout):
    """The exit code of `proc` once it has ended, or None if it still runs after `timeout` seconds."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc.poll() is not None:
            return proc.returncode
        time.sleep(0.1)
    return None
