"""Quality figures computed from their published definitions: scale-invariant SDR, short-time
objective intelligibility (STOI), log-spectral distance, integrated loudness (ITU-R BS.1770) and
the kurtosis of a residual's spectral power."""
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


def log_spectral_distance(reference, estimate, rate):
    """Mean over 2048-sample frames of the RMS difference in dB of the two spectra's powers in
    third-octave bands from 50 Hz to 16 kHz (single bins between partials would count empty
    bins); frames 40 dB below the reference's loudest are left out and every band's power is
    held at least 60 dB below the frame's loudest reference band, so near-empty bands count
    only to that depth."""
    f, _, r = signal.stft(reference, rate, nperseg=2048, noverlap=1024)
    _, _, e = signal.stft(estimate, rate, nperseg=2048, noverlap=1024)
    edges = 50 * 2.0 ** (np.arange(0, 3 * np.log2(16000 / 50) + 1) / 3)
    bands = np.array([(f >= lo) & (f < hi) for lo, hi in zip(edges[:-1], edges[1:])], float)
    bands = bands[bands.sum(axis=1) > 0]
    r, e = bands @ np.abs(r) ** 2, bands @ np.abs(e) ** 2
    energy = 10 * np.log10(r.sum(axis=0) + 1e-30)
    keep = energy > energy.max() - 40
    r, e = r[:, keep], e[:, keep]
    least = r.max(axis=0, keepdims=True) * 1e-6
    d = 10 * np.log10(np.maximum(r, least) / np.maximum(e, least))
    return float(np.mean(np.sqrt(np.mean(d**2, axis=0))))


def _k_weighted(x, rate):
    """The K-weighting: a high shelf of about +4 dB above 1.7 kHz, then a high-pass at 38 Hz,
    both designed for the given rate from their analogue prototypes."""
    k = np.tan(np.pi * 1681.974450955533 / rate)
    q = 0.7071752369554196
    vh = 10 ** (3.999843853973347 / 20)
    vb = vh**0.4996667741545416
    a0 = 1 + k / q + k * k
    shelf_b = [(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0]
    shelf_a = [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0]
    k = np.tan(np.pi * 38.13547087602444 / rate)
    q = 0.5003270373238773
    a0 = 1 + k / q + k * k
    high_a = [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0]
    return signal.lfilter([1, -2, 1], high_a, signal.lfilter(shelf_b, shelf_a, x))


def integrated_loudness(x, rate):
    """LUFS of one channel: 400 ms blocks at 75 % overlap, gated at -70 LUFS and then 10 LU
    below the mean of the blocks that passed."""
    y = _k_weighted(x, rate)
    size, step = int(0.4 * rate), int(0.1 * rate)
    z = np.array([np.mean(y[i:i + size] ** 2) for i in range(0, len(y) - size + 1, step)])
    loud = lambda power: -0.691 + 10 * np.log10(power)  # noqa: E731
    z = z[loud(z + 1e-30) > -70]
    return float(loud(np.mean(z[loud(z) > loud(np.mean(z)) - 10])))
