#!/usr/bin/env python3
"""Measures the sound cues: duration, sample rate, bit depth, channels,
peak and RMS level in dBFS, whether any sample clips, how far the first and
last samples jump from silence (a jump is an audible click) and how loud the
last 10 ms are (a loud tail means the sound was cut off, not faded out).

  python3 tools/measure_sounds.py [file.wav ...]

Without arguments it measures every .wav in data/Gallows/Sounds. It exits
with 1 if any file breaks the house rules for cues: 16-bit mono PCM at 22050
or 44100 Hz, at most 1.5 s, peak between -3 and -1 dBFS, no clipping,
quiet edges.
"""

import glob
import math
import os
import struct
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
SOUND_DIR = os.path.join(os.path.dirname(HERE), "data", "Gallows", "Sounds")
FULL_SCALE = 32768.0
ENDS_LIMIT_DBFS = -60.0
TAIL_SECONDS = 0.010
TAIL_LIMIT_DBFS = -20.0


def dbfs(x):
    return 20.0 * math.log10(x / FULL_SCALE) if x > 0 else float("-inf")


def measure(path):
    with open(path, "rb") as f:
        head = f.read(12)
    with wave.open(path, "rb") as w:
        ch, width, rate, frames = w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()
        comp = w.getcomptype()
        raw = w.readframes(frames)
    m = {"file": os.path.basename(path), "riff": head[:4] == b"RIFF" and head[8:12] == b"WAVE",
         "channels": ch, "bits": width * 8, "rate": rate, "frames": frames,
         "seconds": frames / rate if rate else 0.0, "pcm": comp == "NONE"}
    if width != 2:
        nan = float("nan")
        m.update(peak=nan, rms=nan, clips=False, ends=nan, tail=nan)
        return m
    s = struct.unpack("<%dh" % (len(raw) // 2), raw)
    peak = max((abs(v) for v in s), default=0)
    rms = math.sqrt(sum(v * v for v in s) / len(s)) if s else 0.0
    ends = max(abs(s[0]), abs(s[-1])) if s else 0
    tail = max((abs(v) for v in s[-max(1, int(TAIL_SECONDS * rate)):]), default=0)
    m.update(peak=dbfs(peak), rms=dbfs(rms), clips=any(v in (32767, -32768) for v in s),
             ends=dbfs(ends), tail=dbfs(tail))
    return m


def problems(m):
    p = []
    if not m["riff"] or not m["pcm"]:
        p.append("not RIFF/WAVE PCM")
    if m["bits"] != 16:
        p.append("not 16-bit")
    if m["channels"] != 1:
        p.append("not mono")
    if m["rate"] not in (22050, 44100):
        p.append("rate %d" % m["rate"])
    if m["seconds"] > 1.5:
        p.append("longer than 1.5 s")
    if not -3.0 <= m["peak"] <= -1.0:
        p.append("peak outside -3..-1 dBFS")
    if m["clips"]:
        p.append("clips")
    if not m["ends"] <= ENDS_LIMIT_DBFS:
        p.append("starts or ends with a jump (click)")
    if not m["tail"] <= TAIL_LIMIT_DBFS:
        p.append("cut off while still loud")
    return p


def main(argv):
    files = argv[1:] or sorted(glob.glob(os.path.join(SOUND_DIR, "*.wav")))
    if not files:
        print("no .wav files found", file=sys.stderr)
        return 1
    print("%-13s %7s %6s %4s %3s %9s %9s %5s %9s %9s  %s"
          % ("file", "seconds", "rate", "bits", "ch", "peak dBFS", "RMS dBFS", "clips",
             "ends dBFS", "tail dBFS", "verdict"))
    bad = 0
    for path in files:
        m = measure(path)
        p = problems(m)
        bad += bool(p)
        print("%-13s %7.3f %6d %4d %3d %9.2f %9.2f %5s %9.1f %9.1f  %s"
              % (m["file"], m["seconds"], m["rate"], m["bits"], m["channels"], m["peak"],
                 m["rms"], "yes" if m["clips"] else "no", m["ends"], m["tail"],
                 "ok" if not p else ", ".join(p)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
