#!/usr/bin/python3
"""Start time under Wine: the feedback dialog against a bare Win32 window.

Starts each program RUNS times (alternating, in one Wine prefix, on one X server), measures the time from
process start to the X server mapping its top-level window, and prints the medians and the dialog's ratio
to a bare window and to the same window with the program's manifest and common controls 6.

    bench/startup/startup_bench.py [--runs N] [BUILD_DIR]      (default: build/windows, 15 runs)

The prefix is BUILD_DIR/wineprefix-bench; its wineserver is kept running, so every run is a warm start.
Without DISPLAY a private Xvfb is started.
"""
import argparse
import os
import select
import signal
import statistics
import subprocess
import sys
import time

from Xlib import X, display as xdisplay

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
WINE_RUN = os.path.join(SOURCE, "cmake", "wine-run")

PROGRAMS = [
    # (label, file in BUILD_DIR/bin, arguments, window title)
    ("dialog", "UninstallFeedback.exe", ["My_Product"], "Uninstall"),
    ("bare window", "bare_window.exe", [], "Bare window"),
    ("styled bare", "bare_window_styled.exe", [], "Bare window"),  # + manifest and common controls 6
]


def start_xvfb():
    for n in range(160, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            break
    server = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return server, f":{n}"
        time.sleep(0.05)
    server.kill()
    sys.exit("Xvfb did not start")


def window_name(display, window):
    try:
        name = window.get_full_property(display.get_atom("_NET_WM_NAME"), 0)
        if name is not None:
            return name.value.decode("utf-8", "replace") if isinstance(name.value, bytes) else str(name.value)
        return window.get_wm_name() or ""
    except Exception:  # the window went away meanwhile
        return ""


def cpu_seconds(pid):
    """CPU time all threads of process PID have run so far (0 once it is gone)."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                total += int(stat.read().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return total / 1e9


def time_to_window(display, command, env, title, server, limit=30.0):
    """(wall, cpu) seconds from starting COMMAND to the map of its window titled TITLE; cpu counts the
    program's threads and the wineserver's. The process is then killed."""
    while display.pending_events():
        display.next_event()
    server_cpu = cpu_seconds(server.pid)
    started = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = cpu = None
    try:
        while elapsed is None and time.monotonic() - started < limit:
            if not display.pending_events():
                select.select([display.fileno()], [], [], 0.5)
            while display.pending_events():
                event = display.next_event()
                if event.type == X.MapNotify and window_name(display, event.window) == title:
                    elapsed = time.monotonic() - started
                    cpu = cpu_seconds(process.pid) + cpu_seconds(server.pid) - server_cpu
                    break
            if elapsed is None and process.poll() is not None:
                sys.exit(f"{command[1]} ended ({process.returncode}) before showing its window")
    finally:
        process.send_signal(signal.SIGKILL)
        process.wait()
    if elapsed is None:
        sys.exit(f"{command[1]}: no window titled {title!r} within {limit} s")
    return elapsed, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(SOURCE, "build", "windows"))
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--verbose", action="store_true", help="print every run's time")
    args = parser.parse_args()

    xvfb = None
    if not os.environ.get("DISPLAY"):
        xvfb, os.environ["DISPLAY"] = start_xvfb()
    env = dict(os.environ, WINEPREFIX=os.path.join(os.path.abspath(args.build), "wineprefix-bench"))
    env.setdefault("UNINSTALL_STAT_HOST", "127.0.0.1:9")  # never reached: the dialog is killed, not closed
    commands = []
    for label, name, arguments, title in PROGRAMS:
        program = os.path.join(args.build, "bin", name)
        if not os.path.isfile(program):
            sys.exit(f"missing {program}: build the windows preset first")
        commands.append((label, [WINE_RUN, program, *arguments], title))

    display = xdisplay.Display()
    display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    subprocess.run([WINE_RUN, "cmd", "/c", "exit"], env=env, check=True)  # makes the prefix on first use
    server = subprocess.Popen(["wineserver", "-p"], env=env)  # outlives the runs: warm starts only
    try:
        times = {label: [] for label, _, _ in commands}
        cpus = {label: [] for label, _, _ in commands}
        for label, command, title in commands:  # the first start fills the caches and makes the prefix
            time_to_window(display, command, env, title, server, limit=120)
        for _ in range(args.runs):
            for label, command, title in commands:
                elapsed, cpu = time_to_window(display, command, env, title, server)
                times[label].append(elapsed)
                cpus[label].append(cpu)
                time.sleep(0.3)
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        server.wait()
        if xvfb:
            xvfb.kill()
            xvfb.wait()

    medians = {label: statistics.median(values) * 1000 for label, values in times.items()}
    cpu_medians = {label: statistics.median(values) * 1000 for label, values in cpus.items()}
    for label, values in times.items():
        print(f"{label:12s} median {medians[label]:6.1f} ms   min {min(values) * 1000:6.1f}   "
              f"max {max(values) * 1000:6.1f}   cpu median {cpu_medians[label]:6.1f} ms   ({len(values)} runs)")
        if args.verbose:
            print("   ", " ".join(f"{v * 1000:.0f}" for v in values))
    # CPU time is the steadier figure on a busy machine; the wall-clock ratio is the one users see. The
    # styled window shows how much of it the visual styles (common controls 6) take by themselves.
    # The fastest run of each is the start the machine's other work did not delay.
    fastest = {label: min(values) for label, values in times.items()}
    for yardstick in ("bare window", "styled bare"):
        print(f"ratio dialog / {yardstick}: {medians['dialog'] / medians[yardstick]:.2f}   "
              f"(fastest runs {fastest['dialog'] / fastest[yardstick]:.2f}, "
              f"cpu {cpu_medians['dialog'] / cpu_medians[yardstick]:.2f})")


if __name__ == "__main__":
    main()
