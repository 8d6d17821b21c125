#!/usr/bin/env python3
"""Compares the start-up of two or more builds of the game, and of the bare
window, on one display: each program is started in turn, in a new order every
round, and the median time to its window is printed with its ratio to the
bare window's. For trying a change to start-up against the version before it
with many more starts than bench/run.sh makes. See bench/README.md.

    bench/compare.py [--runs N] NAME=PROGRAM[:VAR=VALUE,...] ... BARE-PROGRAM

Needs Xvfb; starts its own, with scratch settings and runtime folders."""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from measure import stop

SHOWN = re.compile(rb"gallows\.startup: window-shown-ms ([\d.]+)")


def window_shown_ms(program, env):
    process = subprocess.Popen([program], env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    shown = None
    for line in process.stderr:
        match = SHOWN.search(line)
        if match:
            shown = float(match.group(1))
            break
    stop(process)
    if shown is None:
        sys.exit(f"compare: {program} ended without showing its window")
    return shown


def parse_program(text):
    name, _, rest = text.partition("=")
    program, _, variables = rest.partition(":")
    extra = dict(pair.split("=", 1) for pair in variables.split(",")) if variables else {}
    return name, os.path.abspath(program), extra


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("programs", nargs="+", metavar="NAME=PROGRAM")
    parser.add_argument("bare")
    args = parser.parse_args()
    programs = [parse_program(p) for p in args.programs] + [("bare", os.path.abspath(args.bare), {})]

    scratch = tempfile.mkdtemp(prefix="gallows-compare.")
    runtime = tempfile.mkdtemp(prefix="gallows-compare-runtime.", dir="/dev/shm")
    os.chmod(runtime, 0o700)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        display = os.read(read_end, 64).decode().strip()
        if not display:
            sys.exit("compare: Xvfb gave no display")
        env = dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb",
                   QT_LOGGING_RULES="gallows.startup.debug=true",
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                   XDG_CACHE_HOME=os.path.join(scratch, "cache"), XDG_RUNTIME_DIR=runtime)
        shown = {name: [] for name, _, _ in programs}
        # Two rounds to warm the page cache first, then the measured ones.
        for round_number in range(args.runs + 2):
            for name, program, extra in random.sample(programs, len(programs)):
                value = window_shown_ms(program, dict(env, **extra))
                if round_number >= 2:
                    shown[name].append(value)
                time.sleep(0.15)
        bare = statistics.median(shown["bare"])
        print(f"window shown, median of {args.runs} starts each (ms since exec):")
        for name, _, _ in programs:
            median = statistics.median(shown[name])
            print(f"  {name:12s} {median:6.1f}  fastest {min(shown[name]):5.1f}  {median / bare:.3f} x bare")
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(scratch, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    main()
