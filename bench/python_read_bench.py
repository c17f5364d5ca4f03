"""Times norvistrand.read() against numpy.loadtxt of the signal file of the same 16-bit file,
and checks that the two arrays are equal to the bit.

    PYTHONPATH=build-python /usr/bin/python3 bench/python_read_bench.py [PROGRAM [SAMPLES]]

PROGRAM defaults to build/norvistrand (it writes the signal file); SAMPLES to 10,000,000.
"""
import os
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

import norvistrand

REPETITIONS = 3


def fastest(action):
    best, result = float("inf"), None
    for _ in range(REPETITIONS):
        began = time.perf_counter()
        result = action()
        best = min(best, time.perf_counter() - began)
    return best, result


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/norvistrand"
    samples = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000_000
    with tempfile.TemporaryDirectory(prefix="norvistrand-bench-") as folder:
        wave = os.path.join(folder, "bench16.wav")
        data = np.random.default_rng(5).integers(-32768, 32768, samples, dtype="<i2").tobytes()
        fmt = struct.pack("<HHIIHH", 1, 1, 44100, 88200, 2, 16)
        body = b"WAVEfmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", len(data))
        with open(wave, "wb") as f:
            f.write(b"RIFF" + struct.pack("<I", len(body) + len(data)) + body + data)
        subprocess.run([program, "-q", wave], check=True)
        print(f"load average before: {os.getloadavg()[0]:.2f}")
        read, values = fastest(lambda: norvistrand.read(wave))
        # loadtxt takes seconds: once is enough against a difference of ten times.
        began = time.perf_counter()
        loaded = np.loadtxt(os.path.join(folder, "bench16.sig"))
        text = time.perf_counter() - began
        same = np.array_equal(values.view(np.uint64), loaded.view(np.uint64))
        print(f"{samples} 16-bit samples: norvistrand.read {read:.3f} s (fastest of "
              f"{REPETITIONS}), numpy.loadtxt of the signal file {text:.3f} s: "
              f"{text / read:.1f}x faster (aim at least 10)")
        print(f"equal to the bit: {'yes' if same else 'NO'}")
        print(f"load average after: {os.getloadavg()[0]:.2f}")
        return 0 if same and text / read >= 10 else 1


if __name__ == "__main__":
    sys.exit(main())
