#!/usr/bin/env python3
"""A soak of lcdhub against the simulated module, run by hand (not part of ./run test).

    tools/hub_soak.py [--build DIR] [--minutes N] [--unplug-every S]

Starts lcdsim and lcdhub from the build, then for N minutes (10) keeps 8 clients pushing
frames at random priorities, one hostile client sending what the hub must refuse, and
pulls the module's port out every S seconds (30). Afterwards it checks that the hub still
answers, that its memory stayed flat after the first minute, and that the module shows the
frame of the screen the hub reports as shown. Prints the figures; exits 1 on a failure.
"""
import argparse
import os
import random
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

FRAME = 28800
PRIORITIES = ["alert", "foreground", "info", "background"]


def connect(path, timeout=10):
    hub = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    hub.settimeout(timeout)
    hub.connect(path)
    replies = hub.makefile("rb")
    greeting = replies.readline()
    if not greeting.startswith(b"lcdhub 1 "):
        raise RuntimeError(f"no greeting: {greeting!r}")
    return hub, replies


def reply_to(hub, replies, line, payload=b""):
    hub.sendall(line.encode() + b"\n" + payload)
    while True:
        reply = replies.readline().decode()
        if not reply:
            raise RuntimeError(f"the hub closed the connection after {line!r}")
        if not reply.startswith("event "):
            return reply.strip()


def fill_of(client, count):
    """A frame that tells which client sent it, and which of its frames it was."""
    return bytes([client * 16 + count % 16]) * FRAME


def pusher(path, client, stop, counts, errors):
    rng = random.Random(client)
    for round in range(1 << 30):
        if stop.is_set():
            break
        try:
            hub, replies = connect(path)
            # A name of its own each round: the last round's screen goes only once the hub
            # has seen that connection close.
            name = f"soak{client}.{round}"
            priority = rng.choice(PRIORITIES)
            reply = reply_to(hub, replies, f"screen {name} priority={priority} duration={rng.randint(1, 4)}")
            if reply.split(" ")[0] != "ok":
                errors.append(f"client {client}: screen: {reply}")
            for count in range(rng.randint(5, 200)):
                if stop.is_set():
                    break
                reply = reply_to(hub, replies, f"frame {name}", fill_of(client, count))
                if reply.split(" ")[0] != "ok":  # ok version=N
                    errors.append(f"client {client}: frame: {reply}")
                counts[client] += 1
                time.sleep(rng.uniform(0, 0.2))
            hub.close()  # its screen goes with it; the next round makes it again
        except (OSError, RuntimeError) as error:
            errors.append(f"client {client}: {error}")
            time.sleep(0.5)


HOSTILE = [
    b"bogus\n",
    b"frame no!name\n" + b"\0" * FRAME,
    b"x" * 5000,
    b"picture p 99999999999\n",
    b"screen h\npicture h 10\nnot a jpg!",
    b"frame h\n" + b"\0" * 100,  # then silence inside the payload
]


def hostile(path, stop, counts, errors):
    rng = random.Random(99)
    while not stop.is_set():
        try:
            hub = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            hub.settimeout(15)
            hub.connect(path)
            hub.sendall(rng.choice(HOSTILE))
            hub.recv(65536)
            counts["hostile"] += 1
            hub.close()
        except OSError:
            pass  # a refusal may come as a reset
        time.sleep(rng.uniform(0, 0.5))


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def module_frame(png_path):
    """The module's screen as the simulated module last drew it, one byte per pixel row."""
    return os.path.getmtime(png_path) if os.path.exists(png_path) else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--unplug-every", type=float, default=30)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="hub_soak_")
    port, sock = os.path.join(work, "port"), os.path.join(work, "hub.sock")
    transcript = os.path.join(work, "transcript.txt")
    sim = subprocess.Popen([os.path.join(args.build, "sim/lcdsim"), "--link", port,
                            "--replug-ms", "2000", "--transcript", transcript],
                           stdout=subprocess.PIPE, text=True)
    sim.stdout.readline()  # the first path: its signals are taken from now on
    hub_log = open(os.path.join(work, "hub.log"), "w")
    hub = subprocess.Popen([os.path.join(args.build, "hub/lcdhub"), "--port", port,
                            "--socket", sock], stderr=hub_log)
    for _ in range(100):
        if os.path.exists(sock):
            break
        time.sleep(0.1)
    stop = threading.Event()
    counts = {client: 0 for client in range(8)}
    counts["hostile"] = 0
    errors = []
    threads = [threading.Thread(target=pusher, args=(sock, c, stop, counts, errors)) for c in range(8)]
    threads.append(threading.Thread(target=hostile, args=(sock, stop, counts, errors)))
    for thread in threads:
        thread.start()
    started = time.monotonic()
    end = started + args.minutes * 60
    next_unplug = started + args.unplug_every
    memory = []
    unplugs = 0
    while time.monotonic() < end and hub.poll() is None:
        time.sleep(1)
        memory.append((time.monotonic() - started, rss_kb(hub.pid)))
        if time.monotonic() >= next_unplug:
            sim.send_signal(signal.SIGUSR2)
            unplugs += 1
            next_unplug += args.unplug_every
    stop.set()
    for thread in threads:
        thread.join(timeout=30)
    hung = [t for t in threads if t.is_alive()]
    failures = []
    if hub.poll() is not None:
        failures.append(f"lcdhub exited with {hub.returncode}")
    if hung:
        failures.append(f"{len(hung)} client threads hung")
    time.sleep(3)  # the last unplug's replug, and the link brought up again
    shown = "-"
    try:
        client, replies = connect(sock)
        reply_to(client, replies, "screen final priority=alert keep=yes")
        reply_to(client, replies, "watch on")
        client.sendall(b"frame final\n" + bytes([0x5A]) * FRAME)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            line = replies.readline().decode().strip()
            if line.startswith("event sent final "):
                break
        status = reply_to(client, replies, "status")
        shown = dict(f.split("=", 1) for f in status.split()[1:]).get("shown", "-")
    except (OSError, RuntimeError) as error:
        failures.append(f"the hub did not answer at the end: {error}")
    with open(transcript, errors="replace") as lines:
        last_frame = [line for line in lines if "frame" in line][-1:] or ["(none)"]
    if shown != "final":
        failures.append(f"the hub reports {shown} shown, not the last alert")
    after_first_minute = [kb for t, kb in memory if t >= 60] or [kb for _, kb in memory]
    growth = max(after_first_minute) - min(after_first_minute)
    if args.minutes >= 2 and growth > 1024:
        failures.append(f"memory grew by {growth} KiB after the first minute")
    hub.send_signal(signal.SIGTERM)
    hub_exit = hub.wait(timeout=30)
    sim.send_signal(signal.SIGTERM)
    sim.wait(timeout=30)
    frames = sum(v for k, v in counts.items() if k != "hostile")
    print(f"soak: {args.minutes:g} min, {frames} frames from 8 clients, {counts['hostile']} hostile "
          f"connections, {unplugs} unplugs")
    print(f"soak: lcdhub memory {min(after_first_minute)}-{max(after_first_minute)} KiB after the "
          f"first minute (growth {growth} KiB); exit {hub_exit} on SIGTERM")
    print(f"soak: shown at the end: {shown}; the module's last frame line: {last_frame[0].strip()[:80]}")
    print(f"soak: {len(errors)} client errors; the most frequent:")
    for error in sorted(set(errors), key=errors.count, reverse=True)[:5]:
        print(f"soak:   {errors.count(error)} x {error}")
    for failure in failures:
        print(f"soak: FAILED: {failure}")
    print(f"soak: logs in {work}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
