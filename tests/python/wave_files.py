"""Wave files built byte by byte for the tests, and the program and module under test."""
import glob
import os
import struct
import subprocess

import numpy as np

PROGRAM = os.environ.get("NORVISTRAND", os.path.join(os.path.dirname(__file__), "../../build/norvistrand"))

PCM, FLOAT, EXTENSIBLE = 1, 3, 0xFFFE
PCM_GUID = bytes.fromhex("0100000000001000800000aa00389b71")
FLOAT_GUID = bytes.fromhex("0300000000001000800000aa00389b71")


def wave(samples, bits=16, channels=1, tag=PCM, slot=None, valid=None, data_size=None):
    """A Wave file of the sample bytes; slot is bytes per sample (bits / 8 by default)."""
    slot = slot or bits // 8
    align = channels * slot
    fmt = struct.pack("<HHIIHH", tag, channels, 8000, 8000 * align, align, bits)
    if tag == EXTENSIBLE:
        guid = FLOAT_GUID if valid == "float" else PCM_GUID
        fmt += struct.pack("<HHI", 22, bits if valid in (None, "float") else valid, 0) + guid
    size = len(samples) if data_size is None else data_size
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", size) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


def spread(bits, count, seed=7):
    """count integer samples over the whole range of the resolution, both extremes among them."""
    low, high = -(1 << (bits - 1)), (1 << (bits - 1)) - 1
    values = np.random.default_rng(seed).integers(low, high + 1, count)
    values[:2] = low, high
    return values


def packed(values, bytes_each):
    """Little-endian two's complement integers of bytes_each bytes."""
    return b"".join(int(v).to_bytes(bytes_each, "little", signed=True) for v in values)


def interleave(*channels, slot):
    frames = zip(*(
        [c[i:i + slot] for i in range(0, len(c), slot)] for c in channels))
    return b"".join(b"".join(frame) for frame in frames)


def run(*arguments, **options):
    return subprocess.run([PROGRAM, *arguments], capture_output=True, timeout=60, **options)


def same_bits(a, b):
    """Equal to the bit, NaN and the sign of zero included."""
    return a.dtype == b.dtype and a.shape == b.shape and np.array_equal(
        a.view(np.uint64), b.view(np.uint64))


def forms():
    """(why, wave bytes, command-line options, read() keywords): a file of each form."""
    n = 3000
    rng = np.random.default_rng(11)
    floats = rng.standard_normal(n)
    floats[5] = -0.0
    stereo = interleave(packed(spread(16, n, 1), 2), packed(spread(16, n, 2), 2), slot=2)
    # Three channels of unequal peaks over several blocks; the 3rd holds the largest magnitude.
    long = 40001
    three = interleave(*(packed(spread(24, long, k) // (4 - k), 3) for k in (1, 2, 3)), slot=3)
    return [
        ("8-bit", wave(bytes(int(v) + 128 for v in spread(8, n)), bits=8), [], {}),
        ("16-bit", wave(packed(spread(16, n), 2)), [], {}),
        ("24-bit", wave(packed(spread(24, n), 3), bits=24), [], {}),
        ("16-bit over several blocks and threads", wave(packed(spread(16, 100001), 2)),
         ["-T", "3"], {"threads": 3}),
        ("24-bit over several blocks and threads", wave(packed(spread(24, 70001), 3), bits=24),
         ["-T", "3"], {"threads": 3}),
        ("no samples", wave(b""), [], {}),
        ("24 bits in 4-byte slots", wave(packed(spread(24, n), 4), bits=24, slot=4),
         ["--any-pcm"], {"any_pcm": True}),
        ("32-bit integers", wave(packed(spread(32, n), 4), bits=32), ["--any-pcm"],
         {"any_pcm": True}),
        ("32-bit float", wave(floats.astype("<f4").tobytes(), bits=32, tag=FLOAT),
         ["--any-pcm"], {"any_pcm": True}),
        ("64-bit float, extensible",
         wave(floats.astype("<f8").tobytes(), bits=64, tag=EXTENSIBLE, valid="float"),
         ["--any-pcm"], {"any_pcm": True}),
        ("extensible 16-bit", wave(packed(spread(16, n), 2), tag=EXTENSIBLE), ["--extensible"],
         {"extensible": True}),
        ("stereo, the second channel", wave(stereo, channels=2), ["--channel=2"],
         {"channel": 2}),
        ("stereo, every channel", wave(stereo, channels=2), ["--channel=all"],
         {"channel": "all"}),
        ("3 channels, every channel by the common peak, on threads",
         wave(three, bits=24, channels=3), ["--channel=all", "--common-peak", "-T", "3"],
         {"channel": "all", "common_peak": True, "threads": 3}),
        ("3 channels, the first by the common peak", wave(three, bits=24, channels=3),
         ["--channel=1", "--common-peak"], {"channel": 1, "common_peak": True}),
        ("3 channels, the mix", wave(three, bits=24, channels=3), ["--mix"], {"mix": True}),
        ("data size 0xFFFFFFFF, read to the end",
         wave(packed(spread(16, n), 2), data_size=0xFFFFFFFF), ["--data-to-end"],
         {"data_to_end": True}),
    ]


def file_pairs(stem, options, ending):
    """Each signal file the options write for stem.wav (one a channel with --channel=all), with
    its twin of the ending."""
    if "--channel=all" not in options:
        return [(f"{stem}.sig", f"{stem}.{ending}")]
    count = len(glob.glob(f"{stem}.[0-9]*.sig"))
    return [(f"{stem}.{k}.sig", f"{stem}.{k}.{ending}") for k in range(1, count + 1)]


def signal_values(stem, options):
    """numpy.loadtxt of the signal files: with --channel=all, a column each."""
    loaded = [load_text(sig) for sig, _ in file_pairs(stem, options, "sig")]
    return np.column_stack(loaded) if "--channel=all" in options else loaded[0]


def load_text(path):
    """numpy.loadtxt of a signal file; an empty one is an empty array, without the warning."""
    if os.path.getsize(path) == 0:
        return np.empty(0)
    return np.loadtxt(path)
