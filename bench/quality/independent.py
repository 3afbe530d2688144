#!/usr/bin/python3
"""The quality figures on material that neither this repository nor its benchmark made: recorded
speech and music taken from Debian packages (fetched with apt-get download into a cache outside
the repository) and, where espeak-ng is installed, synthetic speech it speaks.

  independent.py CLI [--cache FOLDER]

Sources: alsa-utils' spoken channel names (a human voice, 48 kHz), chromium-bsu-data's two
music loops (22.05 kHz) and espeak-ng (synthetic, 22.05 kHz), each resampled to 44.1 kHz.
Prints, like run.py, each tool's figures with white and pink hiss at 10 and 20 dB SNR and a
noise-only lead; then loudness normalizing with bench/loudness-targets.sh on every recording of
the two packages that lasts a second or more; then stored-timbre against example levelling of
the music towards the voices and alsa-utils' recorded noise as clips. The recordings' own faint
noise counts as part of the clean signal.
Needs network access to Debian's archive on the first run only.
"""
import argparse
import glob
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True

import numpy as np
from scipy import signal
from scipy.io import wavfile

import material
import run
import sts_routes
import tools

PACKAGES = ["alsa-utils", "chromium-bsu-data"]
VOICE = "usr/share/sounds/alsa/{}.wav"
VOICE_CLIPS = ["Front_Center", "Front_Left", "Front_Right", "Rear_Center", "Rear_Left",
               "Rear_Right", "Side_Left", "Side_Right"]
MUSIC = "usr/share/games/chromium-bsu/wav/music_{}.wav"
SPOKEN_TEXT = ("The quick brown fox jumps over the lazy dog. Seven slim swans swam silently "
               "south, while a cheerful choir sang thirty three short songs in the shade.")


def fetch(cache):
    """The packages' files, extracted under cache/root; downloaded once."""
    root = os.path.join(cache, "root")
    if not os.path.isdir(root):
        debs = os.path.join(cache, "debs")
        os.makedirs(debs, exist_ok=True)
        subprocess.run(["apt-get", "download", *PACKAGES], cwd=debs, check=True,
                       stdout=subprocess.DEVNULL)
        for deb in glob.glob(os.path.join(debs, "*.deb")):
            subprocess.run(["dpkg-deb", "-x", deb, root + ".part"], check=True)
        os.rename(root + ".part", root)
    return root


def mono(path, rate=material.RATE):
    """A WAV file as floats, channels mixed, resampled to rate."""
    source_rate, x = wavfile.read(path)
    if x.dtype == np.uint8:  # some game sounds are 8-bit, centred on 128
        x = (x.astype(np.float64) - 128) / 128
    else:
        x = x.astype(np.float64) / {np.dtype(np.int16): 32768, np.dtype(np.int32): 2.0**31}.get(
            x.dtype, 1)
    if x.ndim > 1:
        x = x.mean(axis=1)
    g = np.gcd(rate, source_rate)
    return signal.resample_poly(x, rate // g, source_rate // g)


def joined(parts, gap_seconds=0.3, rate=material.RATE):
    gap = np.zeros(int(gap_seconds * rate))
    return np.concatenate([np.concatenate([p, gap]) for p in parts])


def spoken(work, rate=material.RATE):
    """espeak-ng's voice, or None where it is not installed."""
    path = os.path.join(work, "espeak.wav")
    try:
        subprocess.run(["espeak-ng", "-w", path, SPOKEN_TEXT], check=True)
    except FileNotFoundError:
        print("espeak-ng is not installed: no synthetic speech", file=sys.stderr)
        return None
    return mono(path, rate)


def signals(root, work, rate=material.RATE):
    found = {"voice (alsa-utils)": joined([mono(os.path.join(root, VOICE.format(c)), rate)
                                           for c in VOICE_CLIPS], rate=rate),
             "music (chromium-bsu)": joined([mono(os.path.join(root, MUSIC.format(m)), rate)
                                             for m in ("game", "menu")], rate=rate)}
    synthetic = spoken(work, rate)
    if synthetic is not None:
        found["espeak-ng (synthetic)"] = synthetic
    return found


def noise_cases(found):
    for seed, (name, body) in enumerate(found.items(), start=100):
        for noise_kind in ("white", "pink"):
            for snr in (10, 20):
                rng = np.random.default_rng(seed * 10 + snr + (noise_kind == "pink"))
                clean, noise, noisy = material.with_hiss(body, noise_kind, snr, rng)
                yield f"{name} {noise_kind} {snr} dB", (clean, noise, noisy)


def loudness(cli, root, work):
    """Every recording of at least a second, as 48 kHz files for loudness-targets.sh."""
    folder = os.path.join(work, "loudness")
    os.makedirs(folder)
    for path in sorted(glob.glob(os.path.join(root, "usr/share/**/*.wav"), recursive=True)):
        x = mono(path, 48000)
        if len(x) >= 48000:
            wavfile.write(os.path.join(folder, os.path.basename(path)), 48000,
                          np.round(np.clip(x, -1, 1) * 32767).astype(np.int16))
    build = os.path.join(work, "build")  # the script takes the folder of a sonivar-cli
    os.makedirs(build)
    os.symlink(cli, os.path.join(build, "sonivar-cli"))
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "loudness-targets.sh")
    subprocess.run(["bash", script, build], check=True, env={**os.environ, "INPUT_DIR": folder})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli")
    parser.add_argument("--cache", default=os.path.join(
        os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")), "sonivar-bench"))
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    root = fetch(args.cache)
    with tempfile.TemporaryDirectory(prefix="sonivar-independent.") as work:
        found = signals(root, work)
        print("== Noise removal (kurtosis: residual's in the lead over the noise's)")
        run.print_table(run.measure(cli, False, noise_cases(found)))
        print("\n== Loudness normalizing (bench/loudness-targets.sh)", flush=True)
        loudness(cli, root, work)
        print("\n== Stored timbre against example: the music levelled towards each clip")
        files = {}
        for name, x in [*found.items(), ("noise (alsa-utils)",
                                         mono(os.path.join(root, VOICE.format("Noise"))))]:
            files[name.split(" ")[0]] = os.path.join(work, name.split(" ")[0] + ".wav")
            tools.write(files[name.split(" ")[0]], 0.7 * x / np.abs(x).max())
        source = files.pop("music")
        sts_routes.route_table(cli, work, source, files)
    return 0


if __name__ == "__main__":
    sys.exit(main())
