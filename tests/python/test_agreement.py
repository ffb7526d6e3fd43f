"""Every face gives the same answer to the same request: kx3105-cli, the Python module and the
instrument server capture the same codes at the same times from simulated boards of one seed, give
the same noise figures, and refuse the same bad settings with the same allowed values; the
configuration files read settings by the same rules."""
import csv
import io
import json
import os
import socket
import subprocess

import numpy as np
import pytest

import kx3105
from conftest import run_cli

SERVER = os.environ.get("KX3105_SERVER", "kx3105-server")

# One row a case: the simulated board (seed, tone) and the settings, as each face names them.
CASES = [
    # seed, tone (ch, Hz, uV) or None, count, range (volts), polarity, chop, rate (Hz)
    (1, None, 300, 2.56, "bipolar", True, 19.79),
    (2, None, 300, 1.28, "unipolar", True, 5.35),
    (3, None, 300, 0.64, "bipolar", False, 1365.33),
    (4, None, 300, 0.32, "unipolar", False, 16.06),
    (5, None, 300, 0.16, "bipolar", True, 105.03),
    (6, None, 300, 0.08, "unipolar", False, 100),
    (7, None, 300, 0.04, "bipolar", True, 50),
    (8, None, 300, 0.02, "unipolar", False, 500),
    (9, (0, 5.0, 200.0), 1000, 2.56, "bipolar", True, 105.03),
    (10, (0, 123.0, 5000.0), 1000, 0.64, "bipolar", False, 1365.33),
]


def sim_args(seed, tone):
    args = ["--simulate", "--sim-seed", str(seed)]
    if tone:
        args += ["--sim-tone", f"{tone[0]}={tone[1]},{tone[2]}"]
    return args


class Instrument:
    """kx3105-server on a free loopback port, spoken to line by line."""

    def __init__(self, *args):
        self.process = subprocess.Popen([SERVER, "--port", "0", *args], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        port = int(self.process.stdout.readline())
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.reader = self.sock.makefile("r", encoding="ascii", newline="\n")

    def write(self, line):
        self.sock.sendall((line + "\n").encode("ascii"))

    def query(self, line):
        self.write(line)
        return self.reader.readline().rstrip("\n")

    def close(self):
        self.reader.close()
        self.sock.close()
        self.process.terminate()
        self.process.communicate(timeout=60)


@pytest.fixture
def instrument():
    started = []

    def start(*args):
        started.append(Instrument(*args))
        return started[-1]

    yield start
    for one in started:
        one.close()


def cli_capture(tmp_path, seed, tone, count, volts, polarity, chop, rate):
    out = tmp_path / f"capture{seed}.csv"
    run_cli(*sim_args(seed, tone), "capture", count, "--format", "csv", "-o", out,
            "--range", f"{volts}V", "--polarity", polarity, "--chop", "on" if chop else "off",
            "--rate", rate)
    rows = list(csv.reader(line for line in out.read_text().splitlines()
                           if not line.startswith("#")))
    assert rows[0] == ["index", "time_s", "code", "volts"]
    codes = np.array([int(r[2]) for r in rows[1:]])
    times = np.array([float(r[1]) for r in rows[1:]])
    return out, codes, times


@pytest.mark.parametrize("seed, tone, count, volts, polarity, chop, rate", CASES)
def test_same_codes_times_and_figures(tmp_path, instrument, seed, tone, count, volts, polarity,
                                      chop, rate):
    path, cli_codes, cli_times = cli_capture(tmp_path, seed, tone, count, volts, polarity, chop,
                                             rate)

    sim = {"sim_seed": seed}
    if tone:
        sim["sim_tone"] = tone
    with kx3105.Board(simulate=True, **sim) as board:
        run = board.capture(count, range=volts, polarity=polarity, chop=chop, rate=rate)

    server = instrument(*sim_args(seed, tone))
    server.write(f"CONF:RANG {volts};POL {'UNIP' if polarity == 'unipolar' else 'BIP'};CHOP {'ON' if chop else 'OFF'};"
                 f"RATE {rate}")
    assert server.query("SYST:ERR?") == '0,"No error"'
    server_rate = float(server.query("CONF:RATE?"))
    server_codes = np.array([int(c) for c in server.query(f"READ? {count}").split(",")])

    assert len(cli_codes) == count
    np.testing.assert_array_equal(np.asarray(run.codes), cli_codes)
    np.testing.assert_array_equal(server_codes, cli_codes)

    # Times are n / rate on every face: the module's exactly, the tool's CSV to its six decimals.
    assert run.rate_hz == pytest.approx(server_rate, rel=1e-15)
    np.testing.assert_allclose(run.times, np.arange(count) / server_rate, rtol=0, atol=1e-12)
    np.testing.assert_allclose(cli_times, np.arange(count) / server_rate, rtol=0, atol=5.001e-7)

    # The noise figures of the same codes: the tool, the module, and the instrument's own
    # capture of a board of the same seed.
    cli_values = json.loads(run_cli("analyse", path, "--json", "--quiet"))["values"]
    ours = kx3105.analyse(run)
    for key in cli_values:
        assert ours[key] == cli_values[key], key
    fresh = instrument(*sim_args(seed, tone))
    fresh.write(f"CONF:RANG {volts};POL {'UNIP' if polarity == 'unipolar' else 'BIP'};CHOP {'ON' if chop else 'OFF'};"
                f"RATE {rate}")
    names = ["codes", "mean_code", "rms_codes", "peak_to_peak_codes", "min_code", "max_code",
             "lsb_volts", "rms_volts", "peak_to_peak_volts", "mean_volts",
             "effective_resolution_bits", "noise_free_bits"]
    measured = [float(v) for v in fresh.query(f"MEAS:NOIS? {count}").split(",")]
    for name, value in zip(names, measured):
        assert value == pytest.approx(cli_values[name], rel=1e-15, abs=0), name


# A bad setting, as each face is given it: the same decision, the same allowed values.
BAD = [
    # name, before (CLI options, module keywords, SCPI), the setting (CLI, module, SCPI), allowed
    ("rate 5.2", None, (["--rate", "5.2"], {"rate": 5.2}, "CONF:RATE 5.2"),
     "5.35 to 105.03 Hz with chopping on"),
    ("rate 4.6", None, (["--rate", "4.6"], {"rate": 4.6}, "CONF:RATE 4.6"),
     "5.35 to 105.03 Hz with chopping on"),
    ("rate 105.4", None, (["--rate", "105.4"], {"rate": 105.4}, "CONF:RATE 105.4"),
     "5.35 to 105.03 Hz with chopping on"),
    ("filter 0", None, (["--filter", "0"], {"filter": 0}, "CONF:FILT 0"),
     "0D to FF (hexadecimal) with chopping on"),
    ("range 0.03", None, (["--range", "0.03"], {"range": 0.03}, "CONF:RANG 0.03"),
     "20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V or 2.56V (or their volts, 0.02 to 2.56)"),
    ("channel 16", None, (["--channel", "16"], {"channel": 16}, "CONF:CHAN 16"),
     "(or the code, 0 to 15)"),
    ("chopping on over filter 04",
     (["--chop", "off", "--filter", "4"], {"chop": False, "filter": 4}, "CONF:CHOP OFF;FILT 4"),
     (["--chop", "on"], {"chop": True}, "CONF:CHOP ON"),
     "on only over a filter word of 0D to FF (5.35 to 105.03 Hz)"),
]


@pytest.mark.parametrize("name, before, bad, allowed", BAD, ids=[b[0] for b in BAD])
def test_same_refusals(tmp_path, instrument, name, before, bad, allowed):
    state = tmp_path / "board.state"
    cli = ["--sim-state", state]
    if before:
        run_cli(*cli, "capture", "1", *before[0])
    done = run_cli(*cli, "capture", "1", *bad[0], check=False)
    assert done.returncode == 2, done.stderr
    assert allowed in done.stderr

    with kx3105.Board(simulate=True) as board:
        if before:
            board.configure(**before[1])
        with pytest.raises(ValueError) as refused:
            board.configure(**bad[1])
        assert allowed in str(refused.value)

    server = instrument("--simulate")
    if before:
        server.write(before[2])
        assert server.query("SYST:ERR?") == '0,"No error"'
    server.write(bad[2])
    error = server.query("SYST:ERR?")
    assert error.startswith('-222,"Data out of range;') and allowed in error


def configuration(tmp_path, **changes):
    """The simulated board's configuration file with its first row's or registers' fields
    changed."""
    text = run_cli("--simulate", "config", "save", "-")
    config = json.loads(text)
    for key, value in changes.items():
        if key in config["registers"]:
            config["registers"][key] = value
        else:
            config["multichannel"][0][key] = value
    path = tmp_path / "board.json"
    path.write_text(json.dumps(config))
    return path


@pytest.mark.parametrize("changes, allowed", [
    ({"range": "2.56V"}, None),
    ({"range": "± 1.28 V", "polarity": "unipolar"}, None),
    ({"range": "0.03"},
     "20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V or 2.56V (or their volts, 0.02 to 2.56)"),
    ({"filter": "04"}, "0D to FF (hexadecimal) with chopping on"),
])
def test_configuration_files_read_settings_by_the_same_rules(tmp_path, changes, allowed):
    path = configuration(tmp_path, **changes)
    done = run_cli("--simulate", "config", "load", path, "--dry-run", check=False)
    if allowed is None:
        assert done.returncode == 0, done.stderr
    else:
        assert done.returncode == 1 and allowed in done.stderr, done.stderr
