"""The analyses of captured runs against kx3105-cli's on the same codes and against numpy; runs as
numpy arrays; the files both write and read."""
import numpy as np
import pytest

import kx3105
from conftest import assert_same_figures, cli_json, run_cli


@pytest.fixture(scope="module")
def run5000():
    """5,000 codes on the simulated board: a little input, so that the mean is off zero."""
    with kx3105.Board(simulate=True, sim_seed=7, sim_input={0: 0.0123}) as board:
        return board.capture(5000, filter=3, chop="off")


@pytest.mark.parametrize("saved, options, keywords", [
    # The run as a capture knows its own range, polarity and reference.
    ("json", [], {}),
    # Bare codes, scaled by the options and keywords.
    ("dat", ["--range", "40mV", "--polarity", "unipolar", "--ref", "2.048"],
     {"range": "40mV", "polarity": "unipolar", "ref": 2.048}),
    ("dat", ["--adc-control", "3C", "--ref", "1.25"], {"adc_control": 0x3C, "ref": 1.25}),
])
def test_analyse_equals_the_tool_and_numpy(run5000, tmp_path, saved, options, keywords):
    path = tmp_path / f"run.{saved}"
    run5000.save(path, saved)
    tool = cli_json("analyse", path, "--json", *options)["values"]
    ours = kx3105.analyse(run5000 if saved == "json" else run5000.codes, **keywords)
    assert_same_figures(ours, tool)

    codes = run5000.codes
    assert ours["mean_code"] == pytest.approx(np.mean(codes), rel=1e-9)
    assert ours["rms_codes"] == pytest.approx(np.std(codes, ddof=1), rel=1e-9)
    assert (ours["min_code"], ours["max_code"]) == (codes.min(), codes.max())


def test_spectrum_equals_the_tool(tmp_path):
    # A tone, so that the tone figures and spurs are there to compare.
    with kx3105.Board(simulate=True, sim_seed=3, sim_tone=(0, 50, 20)) as board:
        run = board.capture(8192, filter=3, chop="off")
    run.save(tmp_path / "tone.json", "json")
    ours = kx3105.spectrum(run, window="blackman-harris")
    tool = cli_json("spectrum", tmp_path / "tone.json", "--window", "blackman-harris", "--json")
    assert ours["tone"] is not None
    assert_same_figures({k: v for k, v in ours.items() if k not in ("frequency_hz",
                                                                     "nsd_nv_per_rthz")}, tool)

    run_cli("spectrum", tmp_path / "tone.json", "--window", "blackman-harris",
            "-o", tmp_path / "density.csv")
    # The tool's CSV carries six significant digits.
    curve = np.loadtxt(tmp_path / "density.csv", delimiter=",", skiprows=1)
    np.testing.assert_allclose(ours["frequency_hz"], curve[:, 0], rtol=1e-5)
    np.testing.assert_allclose(ours["nsd_nv_per_rthz"], curve[:, 1], rtol=1e-5)


def test_allan_equals_the_tool(tmp_path):
    log = tmp_path / "drift.csv"
    rng = np.random.default_rng(5)
    lines = ["time,mean_code,volts,rms_codes,status"]
    for i, v in enumerate(1e-3 + 2e-6 * rng.standard_normal(60)):
        status = "Error Reading Data from KX3105" if i == 17 else "ok"
        lines.append(f"2026-12-08T01:{i // 60:02d}:{i % 60:02d}.000Z,8388608,{v:.9f},2.0,{status}")
    log.write_text("\n".join(lines) + "\n")
    ours = kx3105.allan(log)
    run_cli("drift", log, "-o", tmp_path / "adev.csv")
    tool = np.loadtxt(tmp_path / "adev.csv", delimiter=",", skiprows=1)
    np.testing.assert_allclose(ours["tau_s"], tool[:, 0], rtol=1e-5)
    np.testing.assert_allclose(ours["deviation"] * 1e6, tool[:, 1], rtol=1e-5)
    assert ours["factor"][0] == 1 and np.all(np.diff(np.log2(ours["factor"])) == 1)


def test_a_run_allan_is_of_its_volts_at_its_rate(run5000):
    ours = kx3105.allan(run5000)
    again = kx3105.allan(run5000.volts, 1 / run5000.rate_hz)
    for key in ("factor", "tau_s", "deviation"):
        np.testing.assert_array_equal(ours[key], again[key])


def test_codes_are_an_int32_array_that_owns_the_capture(run5000):
    codes = run5000.codes
    # The capture's own buffer, handed over: no copy keeps a second one alive.
    assert codes.dtype == np.int32 and codes.ndim == 1 and len(codes) == len(run5000) == 5000
    assert type(codes.base).__name__ == "PyCapsule" and not codes.flags.owndata
    assert run5000.codes is codes
    assert run5000.volts.dtype == np.float64
    assert run5000.volts[0] == pytest.approx((int(codes[0]) - 2**23) * 2.5 * 1.024 * 2 / 2**24)
    assert len(run5000.times) == 5000 and np.all(np.diff(run5000.times) > 0)
    # On the converter's clock: one update period between codes, whatever the pace of the machine.
    assert np.median(np.diff(run5000.times)) == pytest.approx(1 / run5000.rate_hz, rel=0.02)
    assert run5000.settings["rate_hz"] == run5000.rate_hz and run5000.timeouts == 0


@pytest.mark.parametrize("codes, accepted", [
    ([8388608, 8388610, -2147483648] * 4, True),
    (np.arange(12, dtype=np.uint16), True),
    (np.arange(12, dtype=np.int64) + 2**31, False),  # beyond 32 bits
    (np.linspace(0, 1, 12), False),                   # volts are no codes
    (np.zeros((3, 4), dtype=np.int32), False),
    (["a"] * 12, False),
])
def test_codes_of_any_integer_array(codes, accepted):
    if accepted:
        values = kx3105.analyse(codes, range="2.56V", polarity="bipolar")
        assert values["codes"] == 12 and values["min_code"] == int(np.min(codes))
    else:
        with pytest.raises(ValueError):
            kx3105.analyse(codes, range="2.56V", polarity="bipolar")


@pytest.mark.parametrize("form, keywords", [
    ("dat", {}), ("dat", {"hex": True}), ("csv", {}), ("json", {})])
def test_files_round_trip_through_the_tool(run5000, tmp_path, form, keywords):
    path = tmp_path / f"run.{form}"
    run5000.save(path, form, **keywords)
    loaded = kx3105.load(path, **keywords)
    np.testing.assert_array_equal(loaded.codes, run5000.codes)
    if form != "dat":
        assert loaded.settings == pytest.approx(run5000.settings)
        assert loaded.rate_hz == pytest.approx(run5000.rate_hz, rel=1e-12 if form == "json" else 1e-3)
        if form == "csv":
            times = np.loadtxt(path, delimiter=",", skiprows=2, usecols=1)
            np.testing.assert_allclose(times, run5000.times, atol=1e-6)
    # The tool reads what the module wrote as its own.
    tool = cli_json("analyse", path, "--json", *(["--hex"] if keywords else []),
                    *(["--range", "2.56V", "--polarity", "bipolar"] if form == "dat" else []))
    assert tool["values"]["codes"] == 5000
    assert tool["values"]["max_code"] == run5000.codes.max()


def test_a_capture_of_the_tool_loads_with_its_settings(tmp_path):
    run_cli("--simulate", "capture", "300", "--range", "80mV", "--polarity", "unipolar",
            "--channel", "AIN3-AINCOM", "--format", "json", "-o", tmp_path / "t.json")
    run = kx3105.load(tmp_path / "t.json")
    assert len(run) == 300 and run.adc_control == 0x2A
    assert {k: run.settings[k] for k in ("range", "polarity", "channel", "chop")} == {
        "range": "80mV", "polarity": "unipolar", "channel": "AIN3-AINCOM", "chop": "on"}
    run.save(tmp_path / "again.json", "json")
    assert (tmp_path / "again.json").read_text() == (tmp_path / "t.json").read_text()


@pytest.mark.parametrize("call, error, words", [
    (lambda: kx3105.analyse(np.arange(20)), ValueError, "range= and polarity="),
    (lambda: kx3105.analyse(np.arange(9), range="20mV", polarity="bipolar"), ValueError,
     "at least 10 codes"),
    (lambda: kx3105.analyse(np.arange(20), range="3V", polarity="bipolar"), ValueError,
     "range takes 20mV"),
    (lambda: kx3105.analyse(np.arange(20), adc_control=7, ref=-1), ValueError, "ref takes"),
    (lambda: kx3105.spectrum(np.arange(100), adc_control=7), ValueError, "rate="),
    (lambda: kx3105.spectrum(np.arange(100), adc_control=7, rate=10, window="flat"), ValueError,
     "hann or blackman-harris"),
    (lambda: kx3105.allan([1.0, 2.0, 3.0, 4.0]), ValueError, "tau0"),
    (lambda: kx3105.load("/nonexistent/run.dat"), kx3105.BoardError, "cannot open"),
    (lambda: kx3105.Run([1, 2]).save("/nonexistent/run.dat"), kx3105.BoardError,
     "Error Creating File"),
    (lambda: kx3105.Run([1, 2]).save("/tmp/run.csv", "csv"), ValueError, "saved as dat"),
    (lambda: kx3105.Run([1, 2]).volts, ValueError, "range and polarity"),
])
def test_errors_are_exceptions_with_the_tools_words(call, error, words):
    with pytest.raises(error, match=words):
        call()
