"""--npy: the array file holds what numpy.loadtxt reads from the signal file, to the bit, in the
file np.save would write for that array; it is put in place as a signal file is."""
import io
import os

import numpy as np
import pytest

from wave_files import file_pairs, forms, load_text, packed, run, same_bits, spread, wave


@pytest.fixture(autouse=True)
def scratch(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)


def saved(array):
    out = io.BytesIO()
    np.save(out, array)
    return out.getvalue()


@pytest.mark.parametrize("why,data,options,keywords", forms(), ids=[f[0] for f in forms()])
def test_npy_holds_what_loadtxt_reads_from_the_signal_file(why, data, options, keywords):
    with open("case.wav", "wb") as f:
        f.write(data)
    assert run("-q", *options, "case.wav").returncode == 0
    written = run("-q", "--npy", *options, "case.wav")
    assert written.returncode == 0, written.stderr
    for sig, npy in file_pairs("case", options, "npy"):
        expected = load_text(sig)
        assert same_bits(np.load(npy), expected)
        with open(npy, "rb") as f:
            assert f.read() == saved(expected)


def test_npy_goes_where_the_signal_file_would_and_replaces_as_it_does():
    data = wave(packed(spread(16, 500), 2))
    with open("take.wav", "wb") as f:
        f.write(data)
    assert run("-q", "take.wav").returncode == 0
    expected = saved(load_text("take.sig"))
    os.mkdir("out")
    with open("take.npy", "wb") as f:
        f.write(b"old")
    os.chmod("take.npy", 0o640)
    cases = [
        (["take.wav"], "take.npy"),
        (["-o", "other.npy", "take.wav"], "other.npy"),
        (["-d", "out", "take.wav"], "out/take.npy"),
    ]
    for arguments, path in cases:
        assert run("-q", "--npy", *arguments).returncode == 0, arguments
        with open(path, "rb") as f:
            assert f.read() == expected, arguments
    assert os.stat("take.npy").st_mode & 0o777 == 0o640
    to_output = run("--npy", "-c", "take.wav")
    assert to_output.returncode == 0 and to_output.stdout == expected
    piped = run("--npy", "-", input=data)
    assert piped.returncode == 0 and piped.stdout == expected
    listed = run("--npy", "take.wav")
    assert listed.stdout.decode().endswith("-> take.npy\n")


def test_a_refused_file_leaves_the_old_npy_file():
    with open("take.wav", "wb") as f:
        f.write(wave(packed(spread(16, 100), 2), channels=2))
    with open("take.npy", "wb") as f:
        f.write(b"old")
    refused = run("--npy", "take.wav")
    assert refused.returncode == 1
    assert b"This is not a mono Wave file" in refused.stderr
    with open("take.npy", "rb") as f:
        assert f.read() == b"old"
    assert sorted(os.listdir(".")) == ["take.npy", "take.wav"]

