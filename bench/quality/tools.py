"""The noise removers compared: Sonivar at its default and with smoothing, sox `noisered` and
ffmpeg `afftdn`, each given the same noisy file (the noise-only lead tells the peers the noise)."""
import subprocess
import sys

import numpy as np
from scipy.io import wavfile

from material import LEAD_SECONDS, RATE


def _run(args):
    done = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)}: exit status {done.returncode}: {done.stderr.strip()}")


def write(path, x):
    wavfile.write(path, RATE, np.round(np.clip(x, -1, 1) * 32767).astype(np.int16))


def read(path):
    rate, x = wavfile.read(path)
    assert rate == RATE, path
    return x.astype(np.float64) / 32768


def sonivar(cli, extra):
    def remove(src, dst, work):
        _run([cli, "remaster", src, dst, "--denoise", "--quiet", "--work-folder", work, *extra])
    return remove


def sox_noisered(src, dst, work):
    profile = f"{work}/noise.prof"
    _run(["sox", src, "-n", "trim", "0.1", str(LEAD_SECONDS - 0.2), "noiseprof", profile])
    _run(["sox", src, dst, "noisered", profile, "0.21"])


def ffmpeg_afftdn(src, dst, work):
    # Tuned: the noise is sampled in the lead and the floor set to the lead's level.
    lead = read(src)[int(0.1 * RATE):int((LEAD_SECONDS - 0.1) * RATE)]
    floor = int(np.clip(round(20 * np.log10(np.sqrt(np.mean(lead**2)))), -80, -20))
    stop = LEAD_SECONDS - 0.1
    chain = (f"asendcmd=c='0.1 afftdn sn start',asendcmd=c='{stop} afftdn sn stop',"
             f"afftdn=nr=20:nf={floor}")
    _run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", src, "-af", chain, dst])


def all_tools(cli, sonivar_only=False):
    tools = {"sonivar default": sonivar(cli, []),
             "sonivar --noise-smooth": sonivar(cli, ["--noise-smooth"])}
    if not sonivar_only:
        tools.update({"sox noisered 0.21": sox_noisered, "ffmpeg afftdn": ffmpeg_afftdn})
    return tools
