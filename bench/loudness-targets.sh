#!/usr/bin/env bash
# Loudness normalizing of material with high crest factors (transients, sparse hits, plucked and
# spoken material) to -16 LUFS with a -1 dBTP ceiling: plain gain (held by the ceiling), gain with
# --limiter, and ffmpeg's loudnorm in two passes (dynamic mode). Each output is measured by
# ffmpeg's ebur128 (integrated loudness, true peak); distortion is the SI-SDR of the output
# against its input (scale-invariant, so against the gained input), after aligning any delay.
#   loudness-targets.sh [build folder]   (needs ffmpeg and Debian's python3-numpy)
#   INPUT_DIR=folder loudness-targets.sh  measures that folder's mono 48 kHz WAV files instead
set -euo pipefail
build=${1:-build/release}
cli=$(realpath "$build/sonivar-cli")
work=$(mktemp -d /var/tmp/sonivar-loudness.XXXXXX)
trap 'rm -rf "$work"' EXIT
export WORK=$work CLI=$cli TARGET=${TARGET:--16} CEILING=${CEILING:--1}
/usr/bin/python3 - <<'PY'
import json, os, re, subprocess, wave
import numpy as np

work, cli = os.environ["WORK"], os.environ["CLI"]
target, ceiling = float(os.environ["TARGET"]), float(os.environ["CEILING"])
rate, seconds = 48000, int(os.environ.get("SECONDS_EACH", 20))
rng = np.random.default_rng(28)
t = np.arange(rate * seconds) / rate

def hits(times, shape):
    out = np.zeros_like(t)
    for at in times:
        i = int(at * rate)
        seg = shape(t[: len(t) - i])
        out[i:] += seg
    return out

def decaying(freqs, tau, noise=0.0):
    def shape(x):
        s = sum(np.sin(2 * np.pi * f * x + rng.uniform(0, 6.3)) / (k + 1) for k, f in enumerate(freqs))
        s = s + noise * rng.standard_normal(len(x))
        return s * np.exp(-x / tau)
    return shape

def beat(period, jitter=0.0):
    return np.arange(0.1, seconds - 0.5, period) + jitter * rng.standard_normal(int((seconds - 0.6) / period) + 1)[: len(np.arange(0.1, seconds - 0.5, period))]

def speechlike():
    env = np.clip(np.sin(2 * np.pi * 3.7 * t) * np.sin(2 * np.pi * 0.41 * t), 0, None) ** 3
    f0 = 120 + 30 * np.sin(2 * np.pi * 0.7 * t)
    phase = 2 * np.pi * np.cumsum(f0) / rate
    voiced = sum(np.sin(k * phase) / k for k in range(1, 25))
    return env * voiced

quiet_bed = lambda level: level * rng.standard_normal(len(t))
inputs = {
    "kick-and-pad": hits(beat(0.5), decaying([55, 110], 0.08)) + 0.02 * np.sin(2 * np.pi * 220 * t),
    "snare-hits": hits(beat(0.75, 0.02), decaying([190], 0.05, noise=2.0)) + quiet_bed(0.003),
    "clicks": 0.5 * hits(beat(1.1), decaying([3000, 5000], 0.002, noise=1.0)) + 0.06 * np.sin(2 * np.pi * 440 * t),
    "piano-like": hits(beat(0.6, 0.05), decaying([262, 524, 786, 1048, 1310], 0.7)),
    "plucks-bright": hits(beat(0.33), decaying([880, 1760, 2640, 5280], 0.15)),
    "sparse-bangs": hits(rng.uniform(0.2, seconds - 1, 6), decaying([70, 140], 0.3, noise=1.0)) + quiet_bed(0.002),
    "speech-like": speechlike() + quiet_bed(0.001),
    "speech-and-claps": speechlike() + 0.5 * hits(beat(2.3), decaying([1200], 0.01, noise=3.0)),
    "hihat-loop": hits(beat(0.125), decaying([8000], 0.01, noise=4.0)) + 0.2 * hits(beat(1.0), decaying([60], 0.2)),
    "glockenspiel": hits(beat(0.4, 0.03), decaying([1568, 4186, 6272], 0.4)),
    "timpani-rolls": hits(beat(1.6), decaying([98, 147], 0.9, noise=0.3)),
    "orchestral-stabs": hits(beat(2.0), decaying([110, 220, 330, 440, 550, 660], 0.25, noise=0.2)) + 0.01 * np.sin(2 * np.pi * 165 * t),
    "square-impulses": hits(beat(0.9), lambda x: np.sign(np.sin(2 * np.pi * 4000 * x)) * np.exp(-x / 0.003)) + 0.04 * np.sin(2 * np.pi * 330 * t),
    "noise-bursts": hits(beat(0.7, 0.05), decaying([], 0.03, noise=1.0)) + quiet_bed(0.002),
}

def write(path, x):
    x = np.atleast_2d(x)
    data = np.round(np.clip(x.T, -1, 1) * 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(x.shape[0]); w.setsampwidth(2); w.setframerate(rate)
        w.writeframes(data.tobytes())

def read(path):
    with wave.open(path, "rb") as w:
        n, ch, width = w.getnframes(), w.getnchannels(), w.getsampwidth()
        raw = w.readframes(n)
    if width == 2:
        v = np.frombuffer(raw, "<i2").astype(float) / 32768
    else:
        v = np.frombuffer(raw, "<i4").astype(float) / 2**31
    return v.reshape(-1, ch).T

if os.environ.get("INPUT_DIR"):  # other material: every 48 kHz WAV file of that folder
    folder = os.environ["INPUT_DIR"]
    inputs = {n[:-4]: read(os.path.join(folder, n))[0] for n in sorted(os.listdir(folder))
              if n.endswith(".wav")}

def ebur128(path):
    err = subprocess.run(["ffmpeg", "-nostats", "-hide_banner", "-i", path, "-af", "ebur128=peak=true",
                          "-f", "null", "-"], capture_output=True, text=True).stderr
    summary = err[err.rfind("Summary:"):]
    lufs = float(re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary).group(1))
    peak = float(re.search(r"Peak:\s+(-?[\d.]+|-inf) dBFS", summary).group(1))
    return lufs, peak

def si_sdr(ref, est):
    # best alignment within 50 ms (loudnorm may shift by its look-ahead)
    a, b = ref.sum(axis=0), est.sum(axis=0)
    n = min(len(a), len(b))
    corr = np.fft.irfft(np.fft.rfft(a[:n], 2 * n) * np.conj(np.fft.rfft(b[:n], 2 * n)))
    lag = int(np.argmax(np.concatenate([corr[-2400:], corr[:2401]]))) - 2400
    if lag >= 0:
        rr, ee = ref[:, lag:n], est[:, : n - lag]
    else:
        rr, ee = ref[:, : n + lag], est[:, -lag:n]
    rr, ee = rr.ravel(), ee.ravel()
    alpha = np.dot(ee, rr) / np.dot(rr, rr)
    noise = ee - alpha * rr
    return 10 * np.log10(np.dot(alpha * rr, alpha * rr) / np.dot(noise, noise))

def loudnorm(src, dst):
    err = subprocess.run(["ffmpeg", "-nostats", "-hide_banner", "-i", src, "-af",
                          f"loudnorm=I={target}:TP={ceiling}:LRA=20:print_format=json", "-f", "null", "-"],
                         capture_output=True, text=True).stderr
    m = json.loads(err[err.rfind("{"):err.rfind("}") + 1])
    af = (f"loudnorm=I={target}:TP={ceiling}:LRA=20:linear=false:measured_I={m['input_i']}:"
          f"measured_TP={m['input_tp']}:measured_LRA={m['input_lra']}:measured_thresh={m['input_thresh']}:"
          f"offset={m['target_offset']}")
    subprocess.run(["ffmpeg", "-nostats", "-hide_banner", "-y", "-i", src, "-af", af, "-ar", str(rate),
                    "-c:a", "pcm_s16le", dst], capture_output=True, check=True)

def sonivar(src, dst, *extra):
    subprocess.run([cli, "remaster", src, dst, "--normalize-lufs", str(target), "--true-peak-max",
                    str(ceiling), "--quiet", "--work-folder", work, *extra], check=True,
                   capture_output=True)

tools = os.environ.get("TOOLS", "plain gain,--limiter,loudnorm").split(",")
print(f"target {target} LUFS, ceiling {ceiling} dBTP; per tool: LUFS error (LU) / true peak (dBTP) / SI-SDR (dB)")
print(f"{'input':18s} {'crest':>6s} | " + " | ".join(f"{k:^22s}" for k in tools))
sums = {k: [] for k in tools}
for name, mono in inputs.items():
    mono = mono / np.max(np.abs(mono)) * 0.5
    x = np.vstack([mono, np.roll(mono, 7) * 0.9])
    src = f"{work}/{name}.wav"; write(src, x)
    x = read(src)
    crest = 20 * np.log10(np.max(np.abs(x)) / np.sqrt(np.mean(x ** 2)))
    outs = {"plain gain": f"{work}/{name}.plain.wav", "--limiter": f"{work}/{name}.lim.wav",
            "loudnorm": f"{work}/{name}.ln.wav"}
    run = {"plain gain": lambda: sonivar(src, outs["plain gain"]),
           "--limiter": lambda: sonivar(src, outs["--limiter"], "--limiter"),
           "loudnorm": lambda: loudnorm(src, outs["loudnorm"])}
    for k in tools:
        run[k]()
    cells = []
    for k in tools:
        lufs, peak = ebur128(outs[k])
        sdr = si_sdr(x, read(outs[k]))
        sums[k].append((abs(lufs - target), peak, sdr))
        cells.append(f"{lufs - target:+5.2f} {peak:+5.2f} {min(sdr, 99):5.1f}")
    print(f"{name:18s} {crest:6.1f} | " + " | ".join(f"{c:^22s}" for c in cells))
for k in tools:
    a = np.array(sums[k])
    print(f"{k:12s}: largest |LUFS error| {a[:,0].max():.2f} LU, highest true peak {a[:,1].max():+.2f} dBTP, "
          f"SI-SDR median {np.median(np.minimum(a[:,2], 99)):.1f} dB, lowest {a[:,2].min():.1f} dB")
PY
