#!/usr/bin/env bash
# Makes the example Wave files in examples/: a quarter-second chirp from 100 Hz to 2 kHz at
# 8000 Hz, in 8, 16 and 24 bits, as plain mono PCM. Made with sox, repeatably (no dither,
# fixed random seed), so running this again gives the same bytes. sox writes 24 bits in the
# extensible format unless told otherwise (-t wavpcm): the screen program refuses that format,
# and the command-line mode reads it only with --extensible, so the examples are plain PCM.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh sox
for bits in 8 16 24; do
    sox -R -D -n -r 8000 -b "$bits" -c 1 -t wavpcm "examples/chirp$bits.wav" \
        synth 0.25 sine 100-2000 vol 0.8
done
ls -l examples/*.wav
