"""The module norvistrand: read() hands over what numpy.loadtxt reads from the signal file the
same options write, to the bit; info() the header's facts; refusals and failures raise with
the command line's words."""
import errno
import os
import threading

import numpy as np
import pytest

import norvistrand
from wave_files import FLOAT, forms, packed, run, same_bits, signal_values, spread, wave


@pytest.fixture(autouse=True)
def scratch(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)


def put(data, name="take.wav"):
    with open(name, "wb") as f:
        f.write(data)
    return name


@pytest.mark.parametrize("why,data,options,keywords", forms(), ids=[f[0] for f in forms()])
def test_read_gives_what_loadtxt_reads_from_the_signal_file(why, data, options, keywords):
    put(data)
    assert run("-q", *options, "take.wav").returncode == 0
    values = norvistrand.read("take.wav", **keywords)
    assert same_bits(values, signal_values("take", options)) and values.flags["C_CONTIGUOUS"]


def test_info_gives_the_headers_facts():
    put(wave(packed(spread(16, 800), 2), channels=2))
    assert norvistrand.info("take.wav", channel=2) == {
        "bits": 16, "rate": 8000, "channels": 2, "samples": 400, "milliseconds": 50,
        "form": "16 bits"}


def test_threads_share_the_module():
    put(wave(packed(spread(16, 50000), 2)))
    expected = norvistrand.read("take.wav")
    results = [None] * 4

    def convert(i):
        results[i] = norvistrand.read(os.fsencode("take.wav") if i % 2 else "take.wav")

    threads = [threading.Thread(target=convert, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert all(r is not None and same_bits(r, expected) for r in results)


STEREO = wave(packed(spread(16, 100), 2), channels=2)
NOT_A_NUMBER = wave(np.array([0.5, 1.0, np.nan], "<f4").tobytes(), bits=32, tag=FLOAT)

ERRORS = [
    # why, file bytes (None: no file), call's keywords, exception, words in its message
    ("missing file", None, {}, FileNotFoundError, "Specified file not found"),
    ("no Wave file", b"RIFF....AVI LIST", {}, norvistrand.RefusedError,
     "This is not a Wave file"),
    ("stereo", STEREO, {}, norvistrand.RefusedError,
     "This is not a mono Wave file (2 channels; --channel N reads one)"),
    ("a channel past the count", STEREO, {"channel": 3}, norvistrand.RefusedError,
     "There is no channel 3 (the file has 2 channels)"),
    ("float without any_pcm", NOT_A_NUMBER, {}, norvistrand.RefusedError, "--any-pcm reads it"),
    ("a sample that is no number", NOT_A_NUMBER, {"any_pcm": True}, norvistrand.RefusedError,
     "This Wave file holds a sample that is not a number (sample 3)"),
    ("a null byte in the name", STEREO, {"path": "take.wav\0.wav"}, ValueError, "null byte"),
    ("channel 0", STEREO, {"channel": 0}, ValueError, "channel must be"),
    ("17 threads", STEREO, {"threads": 17}, ValueError, "from 1 to 16"),
    ("common_peak without channel", STEREO, {"common_peak": True}, ValueError,
     "common_peak divides channels read with channel, so it needs it"),
    ("mix with channel", STEREO, {"mix": True, "channel": "all"}, ValueError,
     "mix sums every channel, so channel has no use with it"),
    ("every channel, a sample that is no number", wave(
        np.array([0.5, 1.0, 2.0, np.nan], "<f4").tobytes(), bits=32, tag=FLOAT, channels=2),
     {"channel": "all", "any_pcm": True}, norvistrand.RefusedError,
     "This Wave file holds a sample that is not a number (sample 2)"),
]


@pytest.mark.parametrize("why,data,keywords,raised,words", ERRORS, ids=[e[0] for e in ERRORS])
def test_refusals_and_failures_raise_with_the_command_lines_words(why, data, keywords, raised,
                                                                   words):
    if data is not None:
        put(data)
    keywords = {"path": "take.wav", **keywords}
    with pytest.raises(raised) as caught:
        norvistrand.read(**keywords)
    assert words in str(caught.value)
    if raised is not ValueError:
        options = ["--any-pcm"] if keywords.get("any_pcm") else []
        options += [f"--channel={keywords['channel']}"] if "channel" in keywords else []
        assert words in run(*options, "take.wav").stderr.decode()


def test_refused_error_is_a_value_error_and_a_missing_file_has_its_errno():
    assert issubclass(norvistrand.RefusedError, ValueError)
    with pytest.raises(OSError) as caught:
        norvistrand.info("nowhere/take.wav")
    assert caught.value.errno == errno.ENOENT and caught.value.filename == "nowhere/take.wav"


def test_a_header_that_leaves_out_samples_warns():
    put(wave(packed(spread(16, 100), 2), data_size=0))
    with pytest.warns(UserWarning, match="the header gives 0 samples, the file holds 100"):
        assert norvistrand.read("take.wav").shape == (0,)
    assert norvistrand.read("take.wav", data_to_end=True).shape == (100,)
