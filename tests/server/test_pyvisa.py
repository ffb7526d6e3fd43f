"""kx3105-server driven by PyVISA (pyvisa-py, the pure-Python backend) as a lab client would."""

import json
import os
import re
import subprocess
import sys

import numpy as np
import pytest

from conftest import run_cli


def cli_analyse(tmp_path, codes, *options):
    data = tmp_path / "codes.dat"
    data.write_text("".join(f"{c}\n" for c in codes))
    status, out, err = run_cli("analyse", str(data), "--json", *options)
    assert status == 0, err
    return json.loads(out)["values"]


def test_identity(instrument):
    status, version, _ = run_cli("--version")
    assert status == 0
    maker, model, serial, firmware = instrument.query("*IDN?").split(",")
    assert (serial, firmware) == ("SIMULATED", version.decode().strip())
    assert "KX3105" in maker and "KX3105" in model
    assert instrument.query("*OPC?") == "1"
    assert instrument.query("*TST?") == "0"


@pytest.mark.parametrize("command, error", [
    ("FOO:BAR", '-113,"Undefined header"'),
    ("CONF:RANGE 3V", '-222,"Data out of range;range takes 20mV, 40mV, 80mV, 160mV, 320mV, '
                      "640mV, 1.28V or 2.56V (or their volts, 0.02 to 2.56), not '3'\""),
    ("CONF:RANG", '-109,"Missing parameter"'),
    ("CONF:POL SIDEWAYS", '-224,"Illegal parameter value"'),
    ("*CLS 5", '-108,"Parameter not allowed"'),
    ("CONF:RANG 20mA", '-131,"Invalid suffix"'),
    ("READ? ten", '-104,"Data type error"'),
])
def test_error_after_bad_command(instrument, command, error):
    instrument.write(command)
    assert instrument.query("SYST:ERR?") == error
    assert instrument.query("SYSTem:ERRor:NEXT?") == '0,"No error"'
    # A command error set the event status register's bit 5, an execution error bit 4.
    assert int(instrument.query("*ESR?")) == (0x10 if error.startswith("-2") else 0x20)


@pytest.mark.parametrize("setting, query, answer", [
    ("CONF:RANG 2.56", "CONF:RANG?", "2.56"),
    ("conf:rang 2.56V", "CONFigure:RANGe?", "2.56"),
    ("CONFigure:RANGe 20mV", "CONF:RANG?", "0.02"),
    ("CONF:RANG 640 mV", "CONF:RANG?", "0.64"),
    ("CONF:POL UNIPolar", "CONF:POL?", "UNIP"),
    ("CONF:CHOP OFF;FILT 3", "CONF:FILT?;CHOP?;RATE?", "#H3;0;1365.3333333333333"),
    ("CONF:CHAN AIN3-AINCOM", "CONF:CHAN?", "AIN3-AINCOM"),
    ("CONF:RANG 1.28;POL UNIP;CHAN AIN2-AINCOM", "REG:READ? adc-control", "#H1E"),
])
def test_configure(instrument, setting, query, answer):
    instrument.write(setting)
    assert instrument.query(query) == answer
    assert instrument.query("SYST:ERR?") == '0,"No error"'


def test_rate_nearest_and_readable(instrument):
    # With chopping, filter words step the rate by a few per cent.
    def rate(word):
        return 32768 / (8 * word) / 3

    # 60 Hz: word 22 gives 62.06 Hz, 23 gives 59.36 Hz, the nearer.
    for asked in (50, 60, 19.79, 105):
        instrument.write(f"CONF:RATE {asked}")
        obtained = float(instrument.query("CONF:RATE?"))
        word = int(instrument.query("CONF:FILT?")[2:], 16)
        assert obtained == pytest.approx(rate(word))
        assert abs(obtained - asked) <= min(abs(rate(word - 1) - asked),
                                            abs(rate(word + 1) - asked))
    instrument.write("CONF:RATE 2000")
    assert instrument.query("SYST:ERR?").startswith("-222,")


@pytest.mark.parametrize("order", ["NORMal", "SWAPped"])
def test_binary_read_statistics_equal_cli_analyse(instrument, tmp_path, order):
    instrument.write("CONF:RANG 20mV;POL BIP;CHOP OFF;FILT 3")
    instrument.write(f"FORMat:DATA INTeger,32;BORDer {order}")
    codes = instrument.query_binary_values("READ? 5000", datatype="i",
                                           is_big_endian=order == "NORMal", container=np.array)
    assert len(codes) == 5000
    assert codes.min() > 0x700000 and codes.max() < 0x900000  # near mid-scale: order right
    values = cli_analyse(tmp_path, codes, "--range", "20mV", "--polarity", "bipolar")
    assert values["codes"] == 5000
    assert values["mean_code"] == pytest.approx(codes.mean(), rel=1e-12)
    assert values["rms_codes"] == pytest.approx(codes.std(ddof=1), rel=1e-9)
    assert (values["min_code"], values["max_code"]) == (codes.min(), codes.max())
    assert values["peak_to_peak_codes"] == codes.max() - codes.min()


def test_ascii_read_and_chain(instrument):
    answer = instrument.query("FORM ASC;:READ? 20;*OPC?")
    codes, opc = answer.rsplit(";", 1)
    assert opc == "1" and len(codes.split(",")) == 20
    assert instrument.query_ascii_values("READ? 7", converter="d") and \
        instrument.query("FORM?") == "ASC"


def test_noise_and_spectrum_equal_cli(start_server, visa, tmp_path):
    """The first read of a fresh board is the same codes on every face, so MEASure:NOISe? of a
    fresh server equals `kx3105-cli analyse` of a fresh capture."""
    settings = ["--range", "80mV", "--chop", "off", "--filter", "3"]
    server = start_server("--simulate", "--sim-seed", "11", "--sim-input", "0=0.01,3",
                          "--sim-tone", "0=50,400")
    inst = visa.open_resource(server.resource, read_termination="\n", timeout=60000)
    inst.write("CONF:RANG 80mV;CHOP OFF;FILT 3")
    noise = [float(v) for v in inst.query("MEAS:NOIS? 4096").split(",")]
    spectrum = [float(v) for v in inst.query("MEAS:SPEC? 4096").split(",")]
    inst.close()

    capture = tmp_path / "run.json"
    status, _, err = run_cli("--simulate", "--sim-seed", "11", "--sim-input", "0=0.01,3",
                             "--sim-tone", "0=50,400", "capture", "4096", "--format", "json",
                             "-o", str(capture), *settings)
    assert status == 0, err
    status, out, err = run_cli("analyse", str(capture), "--json")
    assert status == 0, err
    v = json.loads(out)["values"]
    names = ["codes", "mean_code", "rms_codes", "peak_to_peak_codes", "min_code", "max_code",
             "lsb_volts", "rms_volts", "peak_to_peak_volts", "mean_volts",
             "effective_resolution_bits", "noise_free_bits"]
    assert noise == pytest.approx([v[n] for n in names], rel=1e-12)

    # The spectrum of the second read: the tone is found and its figures are numbers, but THD
    # of a pure tone, which is SCPI's not-a-number as kx3105-cli writes null.
    assert len(spectrum) == 10
    rate, white, tone_hz, tone_uv, snr, thd, sinad, sfdr, enob, enob_fs = spectrum
    assert rate == pytest.approx(1365.3333333333333)
    assert white > 0 and tone_hz == pytest.approx(50, abs=1)
    assert tone_uv == pytest.approx(400, rel=0.05)
    assert thd == 9.91e37 or thd < 0
    assert all(abs(x) < 1e30 for x in (snr, sinad, sfdr, enob, enob_fs))


def test_lock_between_clients(visa, start_server):
    server = start_server("--simulate", "--lock-timeout", "0.2")
    a = visa.open_resource(server.resource, read_termination="\n", timeout=60000)
    b = visa.open_resource(server.resource, read_termination="\n", timeout=60000)
    assert a.query("SYST:LOCK:REQ?") == "1"
    # b waits out the lock time-out: no board, and its own request is refused.
    assert b.query("SYST:LOCK:REQ?") == "0"
    b.write("CONF:RANG 20mV")
    assert re.match(r'-200,"Execution error;.*locked', b.query("SYST:ERR?"))
    assert a.query("CONF:RANG?") == "2.56"
    a.write("SYST:LOCK:REL")
    b.write("CONF:RANG 20mV")
    assert a.query("CONF:RANG?") == "0.02"
    b.write("SYST:LOCK:REL")
    assert b.query("SYST:ERR?").startswith("-200,")
    a.close()
    b.close()


def test_readme_example(server):
    """The laptop example of the main README, as written, against this server."""
    readme = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")
    text = open(readme).read()
    start = text.index("    import numpy as np")
    end = text.index("\n\n", text.index('SYST:ERR?', start))
    code = "\n".join(line[4:] for line in text[start:end].splitlines())
    code = code.replace("TCPIP::labpc::5025::SOCKET", server.resource)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert "SIMULATED" in lines[0] and lines[-1] == '0,"No error"'
    mean = float(lines[2].split()[0])
    assert abs(mean - 0x800000) < 1000  # the block decoded in the right byte order
