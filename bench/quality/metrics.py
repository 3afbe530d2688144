"""Quality figures computed from their published definitions: scale-invariant SDR, short-time
objective intelligibility (STOI) and the kurtosis of a residual's spectral power."""
import numpy as np
from scipy import signal


def si_sdr(reference, estimate):
    s = reference - reference.mean()
    e = estimate - estimate.mean()
    target = (e @ s) / (s @ s) * s
    return 10 * np.log10((target @ target) / ((e - target) @ (e - target)))


def _third_octave_bands(fft_size, rate, count=15, lowest=150.0):
    f = np.arange(fft_size // 2 + 1) * rate / fft_size
    centres = lowest * 2.0 ** (np.arange(count) / 3)
    bands = np.zeros((count, len(f)))
    for i, c in enumerate(centres):
        bands[i, (f >= c * 2 ** (-1 / 6)) & (f < c * 2 ** (1 / 6))] = 1
    return bands


def stoi(clean, processed, rate):
    """Short-time objective intelligibility: 10 kHz, 256-sample Hann frames at half overlap,
    frames 40 dB below the loudest clean frame dropped, 15 third-octave bands from 150 Hz,
    envelopes of 30 frames (384 ms), processed envelopes normalised and clipped at -15 dB SDR,
    the mean correlation of the envelopes."""
    fs = 10000
    x = signal.resample_poly(clean, fs, rate)
    y = signal.resample_poly(processed, fs, rate)
    frame, hop, nfft, segment = 256, 128, 512, 30
    window = np.hanning(frame + 2)[1:-1]
    starts = range(0, len(x) - frame, hop)
    xf = np.array([window * x[i:i + frame] for i in starts])
    yf = np.array([window * y[i:i + frame] for i in starts])
    energy = 20 * np.log10(np.linalg.norm(xf, axis=1) + np.finfo(float).eps)
    keep = energy > energy.max() - 40
    bands = _third_octave_bands(nfft, fs)
    X = np.sqrt(bands @ (np.abs(np.fft.rfft(xf[keep], nfft)) ** 2).T)
    Y = np.sqrt(bands @ (np.abs(np.fft.rfft(yf[keep], nfft)) ** 2).T)
    clip = 1 + 10 ** (15 / 20)
    scores = []
    for m in range(segment, X.shape[1] + 1):
        xs, ys = X[:, m - segment:m], Y[:, m - segment:m]
        alpha = np.linalg.norm(xs, axis=1, keepdims=True) / (
            np.linalg.norm(ys, axis=1, keepdims=True) + np.finfo(float).eps)
        ys = np.minimum(alpha * ys, clip * xs)
        xs = xs - xs.mean(axis=1, keepdims=True)
        ys = ys - ys.mean(axis=1, keepdims=True)
        scores.append(np.sum(xs * ys, axis=1) / (
            np.linalg.norm(xs, axis=1) * np.linalg.norm(ys, axis=1) + np.finfo(float).eps))
    return float(np.mean(scores))


def spectral_kurtosis(x, rate, low=100.0, high=16000.0):
    """Kurtosis of the short-time power, each frequency bin normalised by its own mean and the
    bins pooled: about 9 for Gaussian noise of any colour; isolated tonal bursts (musical noise)
    raise it. Bins without any power are left out."""
    f, _, z = signal.stft(x, rate, nperseg=1024, noverlap=512)
    power = np.abs(z[(f >= low) & (f <= high)]) ** 2
    mean = power.mean(axis=1, keepdims=True)
    used = mean[:, 0] > 1e-20
    p = (power[used] / mean[used]).ravel()
    d = p - p.mean()
    return float(np.mean(d**4) / np.mean(d**2) ** 2)
