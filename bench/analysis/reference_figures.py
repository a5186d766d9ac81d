#!/usr/bin/python3
"""The measurements table of a sample file, the vectorised numpy way.

The reference h452-analyze is timed against: the eight figures of every
record and channel from one batch transform over all records, written as the
analyser's CSV (record, offset, channel, peak_bin, NSD_dBm, NSD_nV, SNR, ENOB,
MAX_dBFS, Frequ_MHz, SFDR, SINAD). It follows the same definitions: window
with the nine-decimal angular constants, magnitudes normalised to a sine's
amplitude, the first strongest bin as the line, harmonic windows counted
twice where they overlap, the NSD figures carried from the last record that
had a line. The transform is numpy's real-input FFT, as a user would write
it for real samples, so figures equal the analyser's to rounding.

  reference_figures.py generate FILE RECORDS N   write a test file
  reference_figures.py figures FILE N [--window W] [--sample-rate HZ] [--out CSV]
  reference_figures.py compare A.csv B.csv       largest figure difference

Needs python3-numpy (Debian's package).
"""
import sys

import numpy as np

FULL_SCALE = 32767.0
NOISE_TO_MW = 1.4358870086591545e-15
HALF_WIDTHS = [0, 3, 3, 4, 4, 4]


def window(kind, n):
    if kind not in range(6):
        kind = 0
    if kind == 0 or n == 1:
        return np.ones(n)
    d = np.arange(n) / float(n - 1)
    if kind == 1:
        return 0.5 * (1.0 - np.cos(6.283185307 * d))
    if kind == 2:
        return 0.54 - 0.46 * np.cos(6.283185307 * d)
    if kind == 3:
        return (0.21557895 - 0.41663158 * np.cos(6.283185307 * d) + 0.277263158 * np.cos(12.566370614 * d)
                - 0.083578947 * np.cos(18.849555921 * d) + 0.006947368 * np.cos(25.132741228 * d))
    if kind == 4:
        return 0.42 - 0.5 * np.cos(6.283185307 * d) + 0.08 * np.cos(12.566370614 * d)
    centre = (n - 1) // 2 if n % 2 else n // 2
    u = (np.arange(n) - centre) * 8.192 / (n - 1)
    return np.exp(-0.5 * u * u)


def read_records(path, n, first, count):
    """Channels x records x n samples of records first .. first+count-1 (as
    far as the file holds them); a partial last record is zero-padded."""
    raw = np.fromfile(path, dtype='<i2', offset=first * n * 8, count=count * n * 4)
    raw = raw[:raw.size // 16 * 16]
    chans = raw.reshape(-1, 4, 4).transpose(1, 0, 2).reshape(4, -1)
    records = -(-chans.shape[1] // n)
    x = np.zeros((4, records * n))
    x[:, :chans.shape[1]] = chans
    return x.reshape(4, records, n)


def figures(x, kind, fs, carried):
    """Figures of a block of records; carried holds each channel's NSD figures
    from the block before (updated for the next block)."""
    n = x.shape[-1]
    half = n // 2
    h = HALF_WIDTHS[kind] if kind in range(6) else 0
    w = window(kind, n)
    a = np.abs(np.fft.rfft(x * w, axis=-1)) / (0.5 * w.sum())
    p = np.argmax(a, axis=-1)
    power = a * a
    total = power[..., 1:half + 1].sum(axis=-1)
    take = lambda idx: np.take_along_axis(power, np.clip(idx, 0, half)[..., None], -1)[..., 0]
    harmonics = np.zeros(p.shape)
    for m in range(1, 6):
        for d in range(-h, h + 1):
            i = m * p + d
            harmonics += np.where((m * p <= half) & (i >= 0) & (i < half) & (p > 0), take(i), 0.0)
    line = np.zeros(p.shape)
    for d in range(-h, h + 1):
        i = p + d
        line += np.where((i >= 0) & (i <= half), take(i), 0.0)
    noise = total - harmonics
    with np.errstate(divide='ignore', invalid='ignore'):
        nsd_dbm = 10.0 * np.log10(noise * NOISE_TO_MW)
        nsd_nv = np.sqrt(10.0 ** (nsd_dbm / 10.0) * 50.0 / 1000.0) * 1e9
        snr = np.where(noise > 0, 10.0 * np.log10(harmonics / noise + 1e-20), np.inf)
        sinad = np.where(total - line > 0, 10.0 * np.log10(line / (total - line) + 1e-20), np.inf)
    k = np.arange(half)
    spurs = np.where(np.abs(k - p[..., None]) > h, a[..., :half], -1.0)
    largest = spurs.max(axis=-1) if half > 0 else np.full(p.shape, -1.0)
    spur = np.where(largest >= 0, np.maximum(-200.0, 20.0 * np.log10(np.maximum(largest, 0) + 1e-20)), -200.0)
    apeak = np.take_along_axis(a, p[..., None], -1)[..., 0]
    sfdr = spur - 20.0 * np.log10(apeak + 1e-20)
    enob = (snr - 1.76) / 6.02
    max_dbfs = 20.0 * np.log10(apeak / FULL_SCALE + 1e-20)
    frequ = ((half + p) / n - 0.5) * fs / 1e6
    limit = np.array([half, half - 5, half - 5, half - 5])[:, None]
    usable = (p >= 1) & (p < limit)
    # NSD keeps the value of the last record whose strongest bin was not DC.
    seen = p != 0
    last = np.maximum.accumulate(np.where(seen, np.arange(p.shape[1]), -1), axis=1)
    nsd = []
    for v, before in zip((nsd_dbm, nsd_nv), carried):
        v = np.where(last >= 0, np.take_along_axis(v, np.maximum(last, 0), 1), before[:, None])
        before[:] = v[:, -1]
        nsd.append(v)
    zero = lambda v: np.where(usable, v, 0.0)
    return p, nsd + [zero(snr), zero(enob), zero(max_dbfs), zero(frequ), zero(sfdr), zero(sinad)]


def write_csv(out, first, p, figs, n):
    channels, records = p.shape
    rec = np.repeat(np.arange(first, first + records), channels)
    ch = np.tile(np.arange(channels), records)
    cols = [rec, rec * n * 8, ch, p.T.ravel()] + [f.T.ravel() for f in figs]
    np.savetxt(out, np.column_stack(cols), fmt=['%d'] * 4 + ['%.17g'] * 8, delimiter=',')


def measure(path, n, kind, fs, out):
    """The whole file in blocks of records (about 4 Mi samples per channel):
    batch transforms over many records without holding the file as doubles."""
    import os
    total = max(1, -(-os.path.getsize(path) // (n * 8)))
    block = max(1, (1 << 22) // n)
    carried = [np.zeros(4), np.zeros(4)]
    out.write('record,offset,channel,peak_bin,NSD_dBm,NSD_nV,SNR,ENOB,MAX_dBFS,Frequ_MHz,SFDR,SINAD\n')
    for first in range(0, total, block):
        p, figs = figures(read_records(path, n, first, min(block, total - first)), kind, fs, carried)
        write_csv(out, first, p, figs, n)


def generate(path, records, n):
    """Four channels like the simulated board's: tones, a square wave, noise."""
    rng = np.random.default_rng(452)
    i = np.arange(records * n)
    chans = np.stack([
        12000 * np.cos(2 * np.pi * i * 0.0317) + rng.normal(0, 3, i.size),
        3000 * np.sin(2 * np.pi * i * 0.0123) + 300 * np.sin(2 * np.pi * i * 0.0369) + rng.normal(0, 5, i.size),
        np.where(i % 100 < 50, 350.0, -350.0) + rng.normal(0, 8, i.size),
        800 * np.cos(2 * np.pi * i * 0.2111) + rng.normal(0, 2, i.size),
    ])
    codes = np.clip(np.round(chans), -32768, 32767).astype('<i2')
    groups = -(-codes.shape[1] // 4)
    padded = np.zeros((4, groups * 4), dtype='<i2')
    padded[:, :codes.shape[1]] = codes
    padded.reshape(4, groups, 4).transpose(1, 0, 2).tofile(path)


def compare(a_path, b_path):
    a = np.genfromtxt(a_path, delimiter=',', skip_header=1)
    b = np.genfromtxt(b_path, delimiter=',', skip_header=1)
    if a.shape != b.shape or not np.array_equal(a[:, :4], b[:, :4]):
        print('records, channels or peak bins differ')
        return 1
    fa, fb = a[:, 4:], b[:, 4:]
    fin = np.isfinite(fa) & np.isfinite(fb)
    same_nonfinite = np.array_equal(np.isfinite(fa), np.isfinite(fb))
    relative = np.abs(fa - fb) / np.maximum(1.0, np.abs(fb))
    worst = np.max(relative[fin]) if fin.any() else 0.0
    print('rows %d, largest relative figure difference %.3g%s' % (a.shape[0], worst, '' if same_nonfinite else
                                                                   ', non-finite figures differ'))
    # Two transforms round differently by a few 1e-16 of the largest bin. The
    # noise is the total power less the line's, so at an SNR of 70 dB that
    # rounding grows by 1e7 in NSD and SNR: 1e-6 still catches a wrong bin or
    # scale by many orders.
    return 0 if worst < 1e-6 and same_nonfinite else 1


def main(argv):
    if len(argv) >= 4 and argv[0] == 'generate':
        generate(argv[1], int(argv[2]), int(argv[3]))
        return 0
    if len(argv) == 3 and argv[0] == 'compare':
        return compare(argv[1], argv[2])
    if len(argv) >= 3 and argv[0] == 'figures':
        opts = dict(zip(argv[3::2], argv[4::2]))
        n = int(argv[2])
        kind = int(opts.get('--window', 0))
        fs = float(opts.get('--sample-rate', 1e9))
        if '--out' in opts:
            with open(opts['--out'], 'w') as out:
                measure(argv[1], n, kind, fs, out)
        else:
            measure(argv[1], n, kind, fs, sys.stdout)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
