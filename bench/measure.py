#!/usr/bin/env python3
"""Runs the benchmark and prints its table. Started by bench/run.sh, which
builds the programs and provides the display and the scratch folders; see
bench/README.md for what each row measures."""

import argparse
import os
import platform
import re
import selectors
import shutil
import signal
import statistics
import subprocess
import sys
import time

REVEAL_TICK_MS = 17
# What the game loads at run time, from beside itself.
PARTS = ("gallows-catalogue-reader.so", "gallows-cue-player.so")
CATALOGUE_ROWS = 1_000_000
# The programs log their start-up milestones in this category when it is on.
LOG_CATEGORY = "gallows.startup"


def fail(text):
    sys.exit(f"bench: {text}")


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def proc_status(pid, field):
    """A field of /proc/<pid>/status in kB, e.g. VmHWM."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    fail(f"no {field} for process {pid}")


def cpu_ms(pid):
    """User plus system time the process has used so far (10 ms ticks)."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


class Run:
    """One start of a program: its trace lines, its peak memory as each line
    came (hwm_kb[name]) and once the last expected line has come (hwm_kb),
    its CPU time when its window was shown."""

    def __init__(self, program, until, env, timeout=30):
        self.values = {}
        self.hwm_at = {}
        self.cells = None
        self.hwm_kb = None
        self.cpu_ms = None
        process = subprocess.Popen([program], env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            self._follow(process, until, timeout)
            self.hwm_kb = proc_status(process.pid, "VmHWM")
        finally:
            stop(process)

    def _follow(self, process, until, timeout):
        deadline = time.monotonic() + timeout
        selector = selectors.DefaultSelector()
        selector.register(process.stderr, selectors.EVENT_READ)
        pending = b""
        others = []
        while until not in self.values:
            left = deadline - time.monotonic()
            if left <= 0 or not selector.select(left):
                fail(f"{process.args[0]} printed no {until} within {timeout} s; it said: {others}")
            chunk = os.read(process.stderr.fileno(), 65536)
            if not chunk:
                fail(f"{process.args[0]} ended (status {process.wait()}) before {until}; it said: {others}")
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for line in lines:
                words = line.decode(errors="replace").split()
                # Qt's default message pattern puts the category first.
                if words[:1] == [LOG_CATEGORY + ":"]:
                    words = words[1:]
                if len(words) >= 2 and words[0].endswith("-ms"):
                    self.values[words[0]] = float(words[1])
                    self.hwm_at[words[0]] = proc_status(process.pid, "VmHWM")
                    if words[0] == "window-shown-ms":
                        self.cpu_ms = cpu_ms(process.pid)
                    if words[2:3] == ["cells"]:
                        self.cells = int(words[3])
                elif line:
                    others.append(line.decode(errors="replace"))
        selector.close()


def program_folder_with(build, folder, catalogue):
    """A copy of the game's program folder whose Data/bsk.cab is `catalogue`:
    the game reads Data/ beside its own executable."""
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "Data"))
    for name in ("gallows",) + PARTS:
        try:
            os.link(os.path.join(build, name), os.path.join(folder, name))
        except OSError:
            shutil.copy2(os.path.join(build, name), os.path.join(folder, name))
    program = os.path.join(folder, "gallows")
    os.symlink(os.path.join(build, "Data", "Gallows"), os.path.join(folder, "Data", "Gallows"))
    os.symlink(os.path.abspath(catalogue), os.path.join(folder, "Data", "bsk.cab"))
    return program


def catalogue_figures(build, repo, catalogue, opens, draws):
    tool = os.path.join(build, "bench", "gallows-bench-catalogue")
    made = subprocess.run([tool, "make", os.path.join(repo, "data", "games.csv"), catalogue,
                           str(CATALOGUE_ROWS)], capture_output=True, text=True)
    if made.returncode != 0:
        fail(f"cannot build the {CATALOGUE_ROWS}-row catalogue: {made.stderr.strip()}")
    print(f"  catalogue: {made.stdout.strip()}", file=sys.stderr)
    timed = subprocess.run([tool, "time", catalogue, str(opens), str(draws)],
                           capture_output=True, text=True)
    if timed.returncode != 0:
        fail(f"catalogue timing failed: {timed.stderr.strip()}")
    samples = {}
    for line in timed.stdout.splitlines():
        name, value = line.split()
        samples.setdefault(name, []).append(float(value))
    if samples.get("rows") != [CATALOGUE_ROWS]:
        fail(f"the catalogue holds {samples.get('rows')} rows, not {CATALOGUE_ROWS}")
    return samples


def second_copy_ms(program, env, runs):
    """Wall times, exec to exit, of `runs` copies of the game started one
    after the other while a first copy shows its window."""
    first = subprocess.Popen([program], env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    times = []
    try:
        deadline = time.monotonic() + 30
        while b"window-shown-ms" not in first.stderr.readline():
            if time.monotonic() > deadline or first.poll() is not None:
                fail("the first copy showed no window")
        for _ in range(runs):
            start = time.monotonic()
            second = subprocess.run([program], env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
            times.append((time.monotonic() - start) * 1000)
            if second.returncode != 0 or first.poll() is not None:
                fail(f"second copy: status {second.returncode}, first copy running: {first.poll() is None}")
    finally:
        stop(first)
    return times


def stop(process):
    """Asks a game to end, kills it if it has not within 5 s, and closes its stderr."""
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    process.stderr.close()


def mb(kb):
    return f"{kb / 1024:.1f} MB"


def ms(value):
    return f"{value:.1f} ms"


def verdict(ok):
    return "PASS" if ok else "MISS"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--repo", required=True)
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--warmup", type=int, default=2)
    parser.add_argument("--opens", type=int, default=7)
    parser.add_argument("--draws", type=int, default=5000)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    scratch = os.path.join(build, "bench")
    catalogue = os.path.join(scratch, "catalogue-1m.cab")

    env = dict(os.environ, QT_LOGGING_RULES=f"{LOG_CATEGORY}.debug=true", QT_QPA_PLATFORM="xcb")
    env.pop("QT_MESSAGE_PATTERN", None)
    for variable in ("DISPLAY", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"):
        if variable not in env:
            fail(f"{variable} is not set; start the benchmark with bench/run.sh")

    load_before = os.getloadavg()
    print("bench: timing the catalogue", file=sys.stderr)
    cat = catalogue_figures(build, args.repo, catalogue, args.opens, args.draws)

    programs = {
        "bare": (os.path.join(scratch, "gallows-bench-bare"), "window-shown-ms"),
        "game": (os.path.join(build, "gallows"), "sound-ready-ms"),
        "game-1m": (program_folder_with(build, os.path.join(scratch, "program-1m"), catalogue),
                    "board-revealed-ms"),
    }
    runs = {name: [] for name in programs}
    order = list(programs)
    total = args.warmup + args.runs
    for i in range(total):
        print(f"bench: round {i + 1} of {total}" + (" (warm-up)" if i < args.warmup else ""),
              file=sys.stderr)
        # A different order every round, so that a busy moment on the
        # machine does not always fall on the same program.
        for name in order[i % len(order):] + order[:i % len(order)]:
            program, until = programs[name]
            run = Run(program, until, env)
            if i >= args.warmup:
                runs[name].append(run)
    print("bench: timing second copies", file=sys.stderr)
    second = second_copy_ms(programs["game"][0], env, args.runs)
    load_after = os.getloadavg()

    def median(name, get):
        return statistics.median(get(r) for r in runs[name])

    shown = lambda r: r.values["window-shown-ms"]
    bare_shown = median("bare", shown)
    game_shown = median("game", shown)
    game_1m_shown = median("game-1m", shown)
    bare_cpu = median("bare", lambda r: r.cpu_ms)
    game_cpu = median("game", lambda r: r.cpu_ms)
    bare_hwm = median("bare", lambda r: r.hwm_kb)
    game_hwm = median("game", lambda r: r.hwm_at["board-revealed-ms"])
    game_sound_hwm = median("game", lambda r: r.hwm_kb)
    sound_ready = median("game", lambda r: r.values["sound-ready-ms"])
    game_1m_hwm = median("game-1m", lambda r: r.hwm_kb)
    best_bare = min(shown(r) for r in runs["bare"])
    best_game = min(shown(r) for r in runs["game"])
    revealed = median("game", lambda r: r.values["board-revealed-ms"])
    # The reveal against its pace: from the moment the reveal timer was
    # started to the tick that shows the last cell, over cells x 17 ms.
    paces = [(r.values["board-revealed-ms"] - r.values["reveal-started-ms"]) / (r.cells * REVEAL_TICK_MS)
             for r in runs["game"]]
    cells = [r.cells for r in runs["game"]]
    pace = statistics.median(paces)
    opens = cat["open-ms"]
    draws = cat["draw-fetch-ms"]
    open_ms = statistics.median(opens)
    draw_median = statistics.median(draws)
    draw_p95 = percentile(draws, 0.95)

    qt = subprocess.run(["qtpaths6", "--qt-version"], capture_output=True, text=True).stdout.strip()
    cpu = ""
    try:
        with open("/proc/cpuinfo") as info:
            cpu = next((line.split(":", 1)[1].strip() for line in info if line.startswith("model name")), "")
    except OSError:
        pass
    build_type = ""
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_BUILD_TYPE:"):
                build_type = line.split("=", 1)[1].strip() or "(none)"

    n = args.runs
    rows = [
        (f"exec → game window shown (median of {n})", ms(game_shown), ms(bare_shown),
         f"{game_shown / bare_shown:.2f}", f"≤ 1.5 × bare: {verdict(game_shown <= 1.5 * bare_shown)}"),
        (f"exec → first board fully revealed (median of {n})", ms(revealed), "—",
         f"reveal {pace:.3f} × cells × 17 ms (worst {max(paces):.3f})",
         f"≤ 1.10 × cells × 17 ms: {verdict(pace <= 1.10)}"),
        (f"peak RSS, VmHWM (median of {n})", mb(game_hwm), mb(bare_hwm), f"{game_hwm / bare_hwm:.2f}",
         f"≤ 1.5 × bare: {verdict(game_hwm <= 1.5 * bare_hwm)}"),
        (f"start-up with 1,000,000 rows: open + identifier list (median of {len(opens)})",
         ms(open_ms), "—", "—", f"≤ 1 s: {verdict(open_ms <= 1000)}"),
        (f"draw + fetch at 1,000,000 rows (median / p95 of {len(draws)})",
         f"{draw_median:.3f} / {draw_p95:.3f} ms", "—", "—", f"≤ 2 ms: {verdict(draw_p95 <= 2)}"),
        (f"exec → window shown with 1,000,000 rows (median of {n})", ms(game_1m_shown), ms(bare_shown),
         f"{game_1m_shown / bare_shown:.2f}", "(for information)"),
        (f"peak RSS once the sound has started, {sound_ready / 1000:.1f} s in (median of {n})",
         mb(game_sound_hwm), mb(bare_hwm), f"{game_sound_hwm / bare_hwm:.2f}", "(for information)"),
        (f"peak RSS with 1,000,000 rows (median of {n})", mb(game_1m_hwm), mb(bare_hwm),
         f"{game_1m_hwm / bare_hwm:.2f}", "(for information)"),
        (f"second copy while one runs: exec → exit (median / worst of {n})",
         f"{statistics.median(second):.1f} / {max(second):.1f} ms", "—", "—",
         f"≤ 100 ms: {verdict(max(second) <= 100)}"),
        (f"CPU time to window shown, user + sys (median of {n})", ms(game_cpu), ms(bare_cpu),
         f"{game_cpu / bare_cpu:.2f}" if bare_cpu else "—", "(for information)"),
    ]
    print()
    print(f"Tarvolin Gallows benchmark, {time.strftime('%Y-%m-%d %H:%M')}: {cpu or platform.machine()}, "
          f"{os.cpu_count()} cores, Linux {platform.release()}, Qt {qt}, {build_type} build, "
          f"Xvfb; load average {load_before[0]:.2f} before, {load_after[0]:.2f} after.")
    print(f"Fastest window shown: game {ms(best_game)}, bare Qt {ms(best_bare)} "
          f"({best_game / best_bare:.2f}). Titles drawn for the reveal: {min(cells)} to {max(cells)} cells. "
          f"First fetch after an open: median {statistics.median(cat['first-fetch-ms']):.3f} ms.")
    print()
    header = ("measure", "game", "bare Qt", "ratio", "target")
    widths = [max(len(str(row[c])) for row in rows + [header]) for c in range(len(header))]
    def line(cols):
        return "| " + " | ".join(str(col).ljust(w) for col, w in zip(cols, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


if __name__ == "__main__":
    main()
