"""Generated test material: music-like and speech-like signals, white and pink hiss, a
noise-only lead. Seeded, so every run (and every machine) gets the same samples."""
import numpy as np
from scipy import signal

RATE = 44100
LEAD_SECONDS = 2.0


def _partials(f0, seconds, rng, count=8, vibrato=0.0):
    t = np.arange(int(seconds * RATE)) / RATE
    phase_mod = vibrato * np.sin(2 * np.pi * 5.5 * t)
    tone = np.zeros_like(t)
    for n in range(1, count + 1):
        f = f0 * n * (1 + 0.0004 * n * n)  # slight inharmonicity, like strings
        if f > RATE / 2.5:
            break
        tone += np.sin(2 * np.pi * f * t + n * phase_mod + rng.uniform(0, 2 * np.pi)) / n
    return tone


def music(seconds, rng):
    """Three voices and a bass line of plucked and bowed notes."""
    out = np.zeros(int(seconds * RATE))
    scale = [0, 2, 4, 5, 7, 9, 11, 12]
    for voice, (base, step) in enumerate([(220.0, 0.5), (330.0, 0.75), (110.0, 1.0)]):
        at = 0.0
        while at < seconds:
            length = min(step * rng.choice([1, 1, 2]), seconds - at)
            f0 = base * 2 ** (rng.choice(scale) / 12)
            n = int(length * RATE)
            env = np.minimum(1, np.arange(n) / (0.02 * RATE)) * np.exp(
                -np.arange(n) / ((0.3 + 0.7 * (voice == 1)) * RATE))
            start = int(at * RATE)
            out[start:start + n] += 0.3 * env * _partials(f0, n / RATE, rng, vibrato=0.002 * voice)
            at += length
    return out


def _formants(x, freqs):
    y = np.zeros_like(x)
    for f, bw in freqs:
        r = np.exp(-np.pi * bw / RATE)
        a = [1, -2 * r * np.cos(2 * np.pi * f / RATE), r * r]
        y += signal.lfilter([1 - r], a, x)
    return y


def speech(seconds, rng):
    """Syllables: a voiced source with a gliding pitch through three formants, fricatives and
    pauses, at a syllable rate of about four per second."""
    out = np.zeros(int(seconds * RATE))
    vowels = [[(730, 90), (1090, 110), (2440, 170)], [(270, 60), (2290, 100), (3010, 150)],
              [(570, 80), (840, 100), (2410, 160)], [(440, 70), (1020, 110), (2240, 160)]]
    at = 0.1
    while at < seconds - 0.3:
        n = int(rng.uniform(0.12, 0.28) * RATE)
        t = np.arange(n) / RATE
        f0 = rng.uniform(100, 200) * (1 + 0.15 * np.sin(np.pi * t / t[-1]) * rng.choice([-1, 1]))
        phase = 2 * np.cumsum(np.pi * f0 / RATE)
        pulses = sum(np.cos(k * phase) for k in range(1, 40) if k * f0.max() < 7000)
        syllable = _formants(pulses, vowels[rng.integers(len(vowels))])
        syllable *= np.abs(np.sin(np.pi * t / t[-1])) ** 0.7
        start = int(at * RATE)
        out[start:start + n] += syllable / (np.abs(syllable).max() + 1e-9)
        if rng.random() < 0.35:  # a fricative after the vowel
            m = int(0.08 * RATE)
            hiss = signal.lfilter(*signal.butter(4, 3500 / (RATE / 2), "high"), rng.normal(size=m))
            s = start + n
            out[s:s + m] += 0.25 * hiss * np.hanning(m)[: len(out[s:s + m])]
        at += n / RATE + rng.choice([0.02, 0.05, 0.1, 0.35])
    return out


def hiss(kind, count, rng):
    white = rng.normal(size=count)
    if kind == "white":
        return white
    spectrum = np.fft.rfft(white)
    f = np.fft.rfftfreq(count, 1 / RATE)
    spectrum[1:] /= np.sqrt(f[1:] / f[1])  # 1/f power
    spectrum[0] = 0
    return np.fft.irfft(spectrum, count)


def case(kind, noise_kind, snr_db, seconds, seed):
    """(clean, noise, noisy) as floats in -1..1 with the lead included; the SNR holds for the part
    after the lead."""
    rng = np.random.default_rng(seed)
    body = music(seconds, rng) if kind == "music" else speech(seconds, rng)
    return with_hiss(body, noise_kind, snr_db, rng)


def with_hiss(body, noise_kind, snr_db, rng):
    """(clean, noise, noisy) for a given signal: a noise-only lead, then body with hiss at the
    given SNR."""
    lead = int(LEAD_SECONDS * RATE)
    clean = np.concatenate([np.zeros(lead), body])
    noise = hiss(noise_kind, len(clean), rng)
    gain = np.sqrt(np.mean(body**2) / np.mean(noise[lead:] ** 2) / 10 ** (snr_db / 10))
    noise *= gain
    scale = 0.7 / np.abs(clean + noise).max()
    return clean * scale, noise * scale, (clean + noise) * scale
