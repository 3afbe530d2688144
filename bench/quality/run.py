#!/usr/bin/python3
"""Noise-removal quality side by side: for music-like and speech-like material with white and
pink hiss at 10 and 20 dB SNR, each tool's SI-SDR, STOI, log-spectral distance (LSD) and
loudness error (integrated LUFS of the output less the clean signal's) after the lead, and the
kurtosis of its residual in the noise-only lead relative to the noise's own.

  run.py CLI              every tool, a table (the noisy input as the first row of each case)
  run.py CLI --ci         Sonivar only; fails when a figure is worse than the recorded one by
                          more than 0.5 dB SI-SDR, 0.01 STOI, 0.5 dB LSD or 0.5 LU of
                          loudness error, or when --noise-smooth leaves a residual kurtosis
                          above 1.5 times the noise's, an SI-SDR below the default's or, on
                          speech, a STOI below the noisy input's
  run.py CLI --record     Sonivar only; writes the recorded figures
"""
import json
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ left in the tree

import numpy as np
from scipy import signal

import material
import metrics
import tools

RECORDED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "recorded.json")
CASES = [(kind, noise, snr) for kind in ("music", "speech") for noise in ("white", "pink")
         for snr in (10, 20)]


def aligned(clean, out, reach=4096):
    """out shifted by the lag that best matches clean (a peer may delay its output) and cut or
    padded to clean's length."""
    lags = signal.correlation_lags(len(clean), len(out))
    c = signal.correlate(clean, out, method="fft")
    near = np.abs(lags) <= reach
    lag = lags[near][np.argmax(c[near])]
    shifted = np.concatenate([np.zeros(max(lag, 0)), out[max(-lag, 0):]])
    return np.pad(shifted, (0, max(0, len(clean) - len(shifted))))[:len(clean)]


def figures(clean, noise, out):
    out = aligned(clean, out)
    # The lead without the stretch that one 16384-sample window before the signal reaches.
    lead = slice(int(0.25 * material.RATE), int((material.LEAD_SECONDS - 0.5) * material.RATE))
    body = slice(int(material.LEAD_SECONDS * material.RATE), len(clean))
    rate = material.RATE
    return {"si_sdr": metrics.si_sdr(clean[body], out[body]),
            "stoi": metrics.stoi(clean[body], out[body], rate),
            "lsd": metrics.log_spectral_distance(clean[body], out[body], rate),
            "lufs_error": metrics.integrated_loudness(out[body], rate)
            - metrics.integrated_loudness(clean[body], rate),
            "kurtosis": metrics.spectral_kurtosis(out[lead], rate)
            / metrics.spectral_kurtosis(noise[lead], rate)}


def generated_cases(seconds=10.0):
    for seed, (kind, noise_kind, snr) in enumerate(CASES):
        yield f"{kind} {noise_kind} {snr} dB", material.case(kind, noise_kind, snr, seconds, seed)


def measure(cli, sonivar_only, cases=None):
    """Figures per case and tool; cases yields (name, (clean, noise, noisy)), by default the
    generated material."""
    results = {}
    with tempfile.TemporaryDirectory(prefix="sonivar-quality.") as work:
        for name, (clean, noise, noisy) in cases or generated_cases():
            src = os.path.join(work, "in.wav")
            tools.write(src, noisy)
            noisy = tools.read(src)
            results[name] = {"noisy input": figures(clean, noise, noisy)}
            for tool, remove in tools.all_tools(cli, sonivar_only).items():
                dst = os.path.join(work, "out.wav")
                remove(src, dst, work)
                results[name][tool] = figures(clean, noise, tools.read(dst))
    return results


def print_table(results):
    width = max(len(case) for case in results) + 2
    print(f"{'case':<{width}}{'tool':<26}{'SI-SDR dB':>10}{'STOI':>8}{'LSD dB':>8}{'LUFS err':>10}"
          f"{'kurtosis x':>12}")
    for case, rows in results.items():
        for tool, f in rows.items():
            print(f"{case:<{width}}{tool:<26}{f['si_sdr']:>10.2f}{f['stoi']:>8.3f}{f['lsd']:>8.2f}"
                  f"{f['lufs_error']:>+10.2f}{f['kurtosis']:>12.2f}")


def check(results):
    with open(RECORDED) as f:
        recorded = json.load(f)
    failures = []
    for case, rows in recorded.items():
        for tool, want in rows.items():
            got = results[case][tool]
            if (got["si_sdr"] < want["si_sdr"] - 0.5 or got["stoi"] < want["stoi"] - 0.01
                    or got["lsd"] > want["lsd"] + 0.5
                    or abs(got["lufs_error"]) > abs(want["lufs_error"]) + 0.5):
                failures.append(
                    f"below the recorded figures: {case}, {tool}: SI-SDR {got['si_sdr']:.2f} dB, "
                    f"STOI {got['stoi']:.3f}, "
                    f"LSD {got['lsd']:.2f} dB, loudness error {got['lufs_error']:+.2f} LU; "
                    f"recorded {want['si_sdr']:.2f} dB, {want['stoi']:.3f}, {want['lsd']:.2f} dB, "
                    f"{want['lufs_error']:+.2f} LU")
    for case, rows in results.items():
        smooth, default = rows["sonivar --noise-smooth"], rows["sonivar default"]
        if (smooth["kurtosis"] > 1.5 or smooth["si_sdr"] < default["si_sdr"]
                or case.startswith("speech") and smooth["stoi"] < rows["noisy input"]["stoi"]):
            failures.append(f"off target: {case}, sonivar --noise-smooth: "
                            f"kurtosis {smooth['kurtosis']:.2f}x, SI-SDR {smooth['si_sdr']:.2f} dB "
                            f"against the default's {default['si_sdr']:.2f}, STOI "
                            f"{smooth['stoi']:.4f} against the noisy input's "
                            f"{rows['noisy input']['stoi']:.4f}")
    for line in failures:
        print(line, file=sys.stderr)
    return not failures


def main(argv):
    if len(argv) < 2 or argv[1].startswith("-"):
        print(__doc__, file=sys.stderr)
        return 2
    cli, mode = argv[1], (argv[2] if len(argv) > 2 else "")
    results = measure(cli, mode in ("--ci", "--record"))
    print_table(results)
    if mode == "--record":
        kept = {c: {t: {k: round(v, 3) for k, v in f.items() if k != "kurtosis"}
                    for t, f in rows.items() if t.startswith("sonivar")}
                for c, rows in results.items()}
        with open(RECORDED, "w") as f:
            json.dump(kept, f, indent=1)
            f.write("\n")
    return 0 if mode != "--ci" or check(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
