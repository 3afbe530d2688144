#!/usr/bin/python3
"""Levelling towards a stored timbre against levelling with the clip it was detected from.

For clips of different timbres (music with drums, shaped by four EQ curves): detect a *.sts
from the clip, then level one source recording four ways: --example CLIP.wav and --timbre
CLIP.sts, each at the default and with --band-means. Prints the log-spectral distance (LSD, dB,
over 1/6-octave bands from 30 Hz to 16 kHz, mean level removed) of each result to the clip, and
of each stored-timbre route to the example route (also over 1/3-octave bands).

    bench/quality/sts_routes.py build/release/sonivar-cli [--seconds S]
"""
import argparse
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy import signal

from material import RATE, music
from tools import read, write

SECONDS = 12.0


def _shaped(x, gain_db):
    """x filtered by the zero-phase gain curve gain_db(f) (dB)."""
    spectrum = np.fft.rfft(x)
    f = np.fft.rfftfreq(len(x), 1 / RATE)
    spectrum *= 10 ** (gain_db(np.maximum(f, 1.0)) / 20)
    y = np.fft.irfft(spectrum, len(x))
    return 0.7 * y / np.abs(y).max()


def _band(seconds, rng):
    """music() with a drum kit: kick, snare and hi-hat bursts of noise on a beat, so that the
    spectrum is filled between the partials and above them, as in most recorded music."""
    out = music(seconds, rng)
    beat = int(0.25 * RATE)
    t = np.arange(beat) / RATE
    for i, start in enumerate(range(0, len(out) - beat, beat)):
        noise = rng.normal(size=beat)
        if i % 4 == 0:
            hit = np.sin(2 * np.pi * 55 * t * (1 + np.exp(-t / 0.03))) * np.exp(-t / 0.12)
        elif i % 4 == 2:
            hit = 0.4 * signal.lfilter([1, -0.5], [1], noise) * np.exp(-t / 0.06)
        else:
            hit = 0.1 * np.diff(noise, prepend=0) * np.exp(-t / 0.03)
        out[start:start + beat] += 0.5 * hit
    return out


def _bell(f, centre, octaves, db):
    return db * np.exp(-0.5 * (np.log2(f / centre) / octaves) ** 2)


TIMBRES = {
    "bright": lambda f: 9 / (1 + (3000 / f) ** 2) - 6 / (1 + (f / 80) ** 2),
    "dark": lambda f: -14 / (1 + (1500 / f) ** 2) + _bell(f, 90, 0.7, 6),
    "cassette": lambda f: (-18 / (1 + (f / 50) ** 4) - 24 / (1 + (9000 / f) ** 4)
                           + _bell(f, 1200, 1.0, 4)),
    "scooped": lambda f: _bell(f, 700, 0.8, -10) + _bell(f, 60, 0.6, 5) + _bell(f, 8000, 0.8, 5),
}


def _run(args):
    done = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)}: exit status {done.returncode}: {done.stderr.strip()}")


def band_levels(x, low=30.0, high=16000.0, per_octave=6):
    """Long-term power in 1/6-octave bands from low to high, in dB."""
    f, p = signal.welch(x, RATE, nperseg=16384, noverlap=8192)
    edges = low * 2.0 ** (np.arange(int(np.log2(high / low) * per_octave) + 1) / per_octave)
    return np.array([10 * np.log10(p[(f >= a) & (f < b)].mean() + 1e-30)
                     for a, b in zip(edges[:-1], edges[1:])])


def lsd(a, b):
    """RMS difference of two band-level curves after their mean level difference is removed
    (levelling normalises its gain, so only the shape counts)."""
    d = a - b
    return float(np.sqrt(np.mean((d - d.mean()) ** 2)))


ROUTES = {"example": lambda clip, sts: ["--example", clip],
          "sts": lambda clip, sts: ["--timbre", sts],
          "example means": lambda clip, sts: ["--example", clip, "--band-means"],
          "sts means": lambda clip, sts: ["--timbre", sts, "--band-means"]}


def route_table(cli, work, source, clips):
    """Levels the WAV file source towards each of clips (name -> WAV file) by the four routes and
    prints the distances; returns the rows."""
    print("LSD in dB: each route to the clip, then the stored timbre's route to the example's")
    print("(the last two columns in 1/3-octave bands, coarser than the stored timbre's)")
    print(f"{'clip':16} {'example':>8} {'sts':>8} {'ex mean':>8} {'sts mean':>8} "
          f"{'sts-ex':>8} {'mean sts-ex':>11} {'sts-ex':>8} {'mean sts-ex':>11}")
    rows = []
    for name, clip in clips.items():
        sts = f"{work}/{name}.sts"
        _run([cli, "detect", clip, sts])
        target = band_levels(read(clip))
        levels, coarse = {}, {}
        for route, extra in ROUTES.items():
            out = f"{work}/{name} {route}.wav"
            _run([cli, "remaster", source, out, "--level", "--quiet", "--work-folder", work,
                  *extra(clip, sts)])
            levels[route] = band_levels(read(out))
            coarse[route] = band_levels(read(out), per_octave=3)
        row = [lsd(levels[r], target) for r in ROUTES] + [
            lsd(levels["sts"], levels["example"]),
            lsd(levels["sts means"], levels["example means"]),
            lsd(coarse["sts"], coarse["example"]),
            lsd(coarse["sts means"], coarse["example means"])]
        rows.append(row)
        print(f"{name:16} " + " ".join(f"{v:8.2f}" for v in row[:5]) + f" {row[5]:11.2f}"
              + f" {row[6]:8.2f} {row[7]:11.2f}")
    mean = np.mean(rows, axis=0)
    print(f"{'mean':16} " + " ".join(f"{v:8.2f}" for v in mean[:5]) + f" {mean[5]:11.2f}"
          + f" {mean[6]:8.2f} {mean[7]:11.2f}")
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli")
    parser.add_argument("--seconds", type=float, default=SECONDS)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    with tempfile.TemporaryDirectory() as work:
        source = f"{work}/source.wav"
        write(source, _shaped(_band(args.seconds, np.random.default_rng(7)),
                              lambda f: _bell(f, 250, 1.2, 4) - 3 * np.log2(f / 1000) / 4))
        clips = {}
        for seed, (name, gain) in enumerate(TIMBRES.items(), start=11):
            clips[name] = f"{work}/{name}.wav"
            write(clips[name], _shaped(_band(args.seconds, np.random.default_rng(seed)), gain))
        route_table(cli, work, source, clips)


if __name__ == "__main__":
    main()
