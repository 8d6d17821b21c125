#!/usr/bin/env python3
"""Synthesises the game's sound cues into data/Gallows/Sounds/*.wav.

  correct1..4  a right letter: short bright rising chimes
  wrong1..4    a wrong guess: low thud, falling buzz, dull two-note drop, buzzer
  win1         a won round: a quick major arpeggio
  win2         a round won on the very first move: a longer run and a held chord
  lose1        a lost round: a slow falling minor phrase
  giveup1      giving up: a deflating brass "wah-wah"

16-bit signed PCM, mono, 22050 Hz, every file under 1.5 s, peaks at -2 dBFS.
Standard library only, and no randomness beyond a fixed-seed generator, so
every run writes the same bytes. Run from anywhere: python3 tools/make_sounds.py
"""

import math
import os
import struct
import sys
import wave

RATE = 22050
PEAK_DBFS = -2.0
MAX_SECONDS = 1.5
TWO_PI = 2.0 * math.pi

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(os.path.dirname(HERE), "data", "Gallows", "Sounds")


def note(name):
    """'A4' -> 440 Hz, 'C#5', 'Bb3' and so on."""
    steps = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = steps[name[0]]
    rest = name[1:]
    if rest[0] == "#":
        semis += 1
        rest = rest[1:]
    elif rest[0] == "b":
        semis -= 1
        rest = rest[1:]
    semis += (int(rest) - 4) * 12
    return 440.0 * 2.0 ** (semis / 12.0)


def smooth_step(x):
    """0 -> 0, 1 -> 1 along half a cosine: a click-free ramp."""
    if x <= 0.0:
        return 0.0
    if x >= 1.0:
        return 1.0
    return 0.5 - 0.5 * math.cos(math.pi * x)


class Noise:
    """A fixed-seed linear congruential generator giving floats in -1..1."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 2147483648.0 - 1.0


class Track:
    def __init__(self, seconds):
        self.buf = [0.0] * int(round(seconds * RATE))

    def add(self, start, samples):
        i0 = int(round(start * RATE))
        for i, v in enumerate(samples):
            j = i0 + i
            if j >= len(self.buf):
                break
            self.buf[j] += v


# ---------------------------------------------------------------------------
# Voices. Each returns a list of floats, roughly in -1..1.
# ---------------------------------------------------------------------------

def bell(freq, seconds, amp=1.0, partials=((1.0, 1.0, 1.0), (2.0, 0.45, 1.8),
                                             (3.0, 0.2, 2.6), (4.16, 0.12, 3.5)),
         decay=6.0, attack=0.004):
    """Struck tone: sine partials (ratio, level, decay multiplier), each dying
    away exponentially; higher partials fade faster."""
    n = int(seconds * RATE)
    out = []
    release = min(0.03, seconds / 4)
    for i in range(n):
        t = i / RATE
        v = 0.0
        for ratio, level, dmul in partials:
            f = freq * ratio
            if f < RATE * 0.45:
                v += level * math.exp(-decay * dmul * t) * math.sin(TWO_PI * f * t)
        env = smooth_step(t / attack) * smooth_step((seconds - t) / release)
        out.append(amp * v * env)
    return out


def additive(freq_at, seconds, harmonic_level, env_at, vibrato=(0.0, 0.0)):
    """A pitched tone built from harmonics below the Nyquist limit.

    freq_at(t) -> Hz, harmonic_level(n, t) -> level of harmonic n,
    env_at(t) -> overall level. vibrato = (rate Hz, depth in semitones).
    """
    n = int(seconds * RATE)
    out = []
    phase = 0.0
    vr, vd = vibrato
    for i in range(n):
        t = i / RATE
        f = freq_at(t)
        if vd:
            f *= 2.0 ** (vd * math.sin(TWO_PI * vr * t) / 12.0)
        phase += TWO_PI * f / RATE
        v = 0.0
        k = 1
        while k * f < RATE * 0.42:
            lv = harmonic_level(k, t)
            if lv:
                v += lv * math.sin(k * phase)
            k += 1
        out.append(v * env_at(t))
    return out


def adsr(seconds, attack, release, sustain_decay=0.0):
    def env(t):
        e = smooth_step(t / attack) * smooth_step((seconds - t) / release)
        if sustain_decay:
            e *= math.exp(-sustain_decay * t)
        return e
    return env


def saw_levels(brightness):
    """Harmonic n at (1/n) * brightness(t)^(n-1): a brass-like rolled-off saw."""
    return lambda n, t: (brightness(t) ** (n - 1)) / n


def square_levels(soft):
    """Odd harmonics only, softened: a hollow buzzer tone."""
    return lambda n, t: (soft ** (n - 1)) / n if n % 2 else 0.0


# ---------------------------------------------------------------------------
# The cues
# ---------------------------------------------------------------------------

def correct(variant):
    tr = Track(0.5)
    if variant == 1:
        tr.add(0.0, bell(note("C6"), 0.22, 0.8))
        tr.add(0.09, bell(note("G6"), 0.38, 0.9))
    elif variant == 2:
        tr.add(0.0, bell(note("D6"), 0.22, 0.8))
        tr.add(0.09, bell(note("A6"), 0.38, 0.9))
    elif variant == 3:
        # softer, woody: a marimba-like pair a major sixth apart
        wood = ((1.0, 1.0, 1.0), (4.0, 0.3, 3.0), (9.2, 0.08, 5.0))
        tr.add(0.0, bell(note("E5"), 0.25, 0.9, wood, decay=9.0))
        tr.add(0.08, bell(note("C#6"), 0.40, 1.0, wood, decay=7.0))
    else:
        # three quick glockenspiel taps
        glock = ((1.0, 1.0, 1.0), (2.76, 0.3, 2.0), (5.4, 0.12, 3.0))
        tr.add(0.0, bell(note("G5"), 0.18, 0.6, glock, decay=8.0))
        tr.add(0.06, bell(note("C6"), 0.18, 0.7, glock, decay=8.0))
        tr.add(0.12, bell(note("E6"), 0.36, 0.9, glock, decay=6.0))
    return tr.buf


def wrong(variant):
    if variant == 1:
        # a low thud: a sine dropping in pitch, with a short muffled knock
        secs = 0.34
        tr = Track(secs)
        tone = additive(lambda t: 55.0 + 95.0 * math.exp(-t * 18.0), secs,
                        lambda n, t: (1.0, 0.35, 0.1)[n - 1] if n <= 3 else 0.0,
                        adsr(secs, 0.004, 0.08, sustain_decay=9.0))
        tr.add(0.0, tone)
        rnd = Noise(11)
        knock = []
        lp = 0.0
        for i in range(int(0.05 * RATE)):
            t = i / RATE
            lp += 0.08 * (rnd.next() - lp)
            knock.append(2.5 * lp * smooth_step(t / 0.002) * math.exp(-t * 80.0))
        tr.add(0.0, knock)
        return tr.buf
    if variant == 2:
        # a falling buzz
        secs = 0.45
        return additive(lambda t: 220.0 * 2.0 ** (-t / secs), secs,
                        saw_levels(lambda t: 0.72), adsr(secs, 0.01, 0.1, 2.0))
    if variant == 3:
        # two dull notes stepping down, hollow and quickly damped
        tr = Track(0.46)
        hollow = lambda n, t: 1.0 / (n * n) if n % 2 else 0.0
        for start, name, secs in ((0.0, "E3", 0.16), (0.16, "C3", 0.30)):
            tr.add(start, additive(lambda t, f=note(name): f, secs, hollow,
                                   adsr(secs, 0.006, 0.06, 7.0)))
        return tr.buf
    # a short low buzzer that sags a little
    secs = 0.36
    return additive(lambda t: 110.0 - 18.0 * t / secs, secs, square_levels(0.7),
                    adsr(secs, 0.012, 0.08, 5.0), vibrato=(14.0, 0.25))


def win1():
    tr = Track(0.95)
    for k, name in enumerate(("C5", "E5", "G5")):
        tr.add(0.1 * k, bell(note(name), 0.3, 0.7))
        tr.add(0.1 * k, additive(lambda t, f=note(name): f, 0.12,
                                 square_levels(0.5), adsr(0.12, 0.005, 0.04)))
    tr.add(0.3, bell(note("C6"), 0.65, 1.0))
    tr.add(0.3, additive(lambda t: note("C6"), 0.6, square_levels(0.45),
                         adsr(0.6, 0.01, 0.3, 2.5), vibrato=(6.0, 0.08)))
    tr.add(0.3, bell(note("E6"), 0.6, 0.4))
    return tr.buf


def win2():
    tr = Track(1.45)
    run = ("C5", "E5", "G5", "C6", "E6", "G6")
    for k, name in enumerate(run):
        tr.add(0.065 * k, bell(note(name), 0.25, 0.55 + 0.05 * k))
    # a held brass chord that swells and opens up
    start = 0.42
    secs = 1.45 - start
    bright = lambda t: 0.45 + 0.3 * smooth_step(t / 0.25)
    for name, level in (("C4", 0.5), ("G4", 0.4), ("C5", 0.45), ("E5", 0.4), ("G5", 0.3)):
        tr.add(start, additive(lambda t, f=note(name): f, secs, saw_levels(bright),
                               lambda t, L=level: L * adsr(secs, 0.05, 0.35)(t),
                               vibrato=(5.5, 0.07)))
    # sparkles on top
    for k, name in enumerate(("C7", "G6", "E7", "C7", "G7")):
        tr.add(start + 0.09 + 0.11 * k, bell(note(name), 0.3, 0.25))
    return tr.buf


def lose1():
    # D minor falling, soft and hollow, ending on a long low note
    tr = Track(1.45)
    hollow = lambda n, t: (0.55 ** (n - 1)) / n * (1.0 if n % 2 else 0.2)
    phrase = (("A4", 0.0, 0.3), ("F4", 0.28, 0.3), ("D4", 0.56, 0.3), ("C#4", 0.84, 0.6))
    for name, start, secs in phrase:
        tr.add(start, additive(lambda t, f=note(name): f, secs, hollow,
                               adsr(secs, 0.02, 0.12, 1.5), vibrato=(5.0, 0.1)))
    tr.add(0.84, additive(lambda t: note("D3") * (1.0 - 0.02 * t), 0.6,
                          lambda n, t: 0.5 / n if n <= 3 else 0.0, adsr(0.6, 0.05, 0.35, 1.0)))
    return tr.buf


def giveup1():
    # two falling brass notes, each opened and closed like a mute: wah ... wahhh
    tr = Track(1.15)
    for start, name, secs, droop in ((0.0, "G3", 0.38, 0.0), (0.36, "F#3", 0.78, 1.0)):
        f0 = note(name)
        wah = lambda t, s=secs: 0.15 + 0.6 * math.sin(math.pi * min(1.0, t / (s * 0.8)))
        freq = lambda t, f=f0, s=secs, d=droop: f * 2.0 ** (-d * 2.0 * smooth_step((t - s * 0.55) / (s * 0.45)) / 12.0)
        tr.add(start, additive(freq, secs, saw_levels(wah), adsr(secs, 0.03, 0.12),
                               vibrato=(5.0, 0.18 * droop)))
    return tr.buf


# ---------------------------------------------------------------------------

def finish(samples):
    """Fade the very ends to silence, scale the peak to PEAK_DBFS, quantise."""
    n = len(samples)
    edge = int(0.004 * RATE)
    for i in range(min(edge, n)):
        g = smooth_step(i / edge)
        samples[i] *= g
        samples[n - 1 - i] *= g
    peak = max(abs(v) for v in samples) or 1.0
    target = 32768.0 * 10.0 ** (PEAK_DBFS / 20.0)
    scale = target / peak
    return [int(round(v * scale)) for v in samples]


def write_wav(path, ints):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(ints), *ints))


CUES = {
    "correct1.wav": lambda: correct(1),
    "correct2.wav": lambda: correct(2),
    "correct3.wav": lambda: correct(3),
    "correct4.wav": lambda: correct(4),
    "wrong1.wav": lambda: wrong(1),
    "wrong2.wav": lambda: wrong(2),
    "wrong3.wav": lambda: wrong(3),
    "wrong4.wav": lambda: wrong(4),
    "win1.wav": win1,
    "win2.wav": win2,
    "lose1.wav": lose1,
    "giveup1.wav": giveup1,
}


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    ok = True
    for name, make in CUES.items():
        ints = finish(make())
        path = os.path.join(OUT_DIR, name)
        write_wav(path, ints)
        secs = len(ints) / RATE
        if secs > MAX_SECONDS or max(abs(v) for v in ints) >= 32767:
            print("%s: out of bounds (%.3f s)" % (name, secs), file=sys.stderr)
            ok = False
        print("%-13s %.3f s" % (name, secs))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
