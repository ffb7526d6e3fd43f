"""The board from Python against kx3105-cli on the same simulated board: the port trace of a
capture, the registers through a shared --sim-state file, the opening rules and failures, and
Ctrl-C during a real-time capture."""
import json
import os
import subprocess
import textwrap

import numpy as np
import pytest

import kx3105
from conftest import CLI, run_cli


@pytest.mark.parametrize("settings, options", [
    ({}, []),
    ({"range": "40mV", "polarity": "unipolar", "rate": 50, "chop": "off"},
     ["--range", "40mV", "--polarity", "unipolar", "--rate", "50", "--chop", "off"]),
    ({"channel": "AIN2-AINCOM", "filter": 0x20}, ["--channel", "AIN2-AINCOM", "--filter", "20"]),
])
def test_capture_trace_equals_the_tools(tmp_path, settings, options):
    with kx3105.Board(simulate=True, sim_seed=11, trace=tmp_path / "module.trace") as board:
        run = board.capture(100, **settings)
    run_cli("--simulate", "--sim-seed", "11", "--trace", tmp_path / "tool.trace", "capture", "100",
            *options, "-o", tmp_path / "tool.dat")
    module = (tmp_path / "module.trace").read_bytes()
    assert len(module) > 1000 and module == (tmp_path / "tool.trace").read_bytes()
    np.testing.assert_array_equal(run.codes, np.loadtxt(tmp_path / "tool.dat", dtype=np.int32))


def test_registers_are_the_tools_on_one_board(tmp_path):
    state = tmp_path / "board.state"
    run_cli("--sim-state", state, "write", "filter", "2A")
    with kx3105.Board(sim_state=state) as board:
        assert board.simulated and board.description == "Board: simulated KX3105 board at 0x378"
        registers = board.registers()
        assert list(registers) == ["status", "mode", "adc-control", "filter", "offset", "gain",
                                   "io-control"]
        assert registers["filter"] == board.read("filter") == 0x2A
        board.reset("software")
        assert board.read("filter") == 0x45
        board.write("adc-control", 0x35)
        obtained = board.configure(rate=50, chop=True)
        board.calibrate("internal-zero")
        after = board.registers(data=True)
    tool = {line.split()[0]: int(line.split()[1], 16)
            for line in run_cli("--sim-state", state, "regs", "--data").splitlines()}
    # Status and data follow the conversions, which go on between the two reads.
    assert {k: v for k, v in after.items() if k not in ("status", "data")} == {
        k: v for k, v in tool.items() if k not in ("status", "data")}
    assert after["adc-control"] == 0x35
    fields = json.loads(run_cli("--sim-state", state, "regs", "--json"))
    # The settings obtained: the filter word nearest 50 Hz, as the board holds it.
    assert obtained["filter"] == f"0x{fields['filter']['value']:02X}"
    assert obtained["rate_hz"] == pytest.approx(fields["filter"]["fields"]["update_rate_hz"])
    assert (obtained["chop"], obtained["range"], obtained["polarity"]) == ("on", "640mV", "bipolar")


def test_boards_of_their_own_and_the_port_released(tmp_path):
    board = kx3105.Board(simulate=True)
    # A notebook cell run again: a fresh simulated board beside the first.
    with kx3105.Board(simulate=True) as another:
        another.write("mode", 0x41)
        assert board.read("mode") == 1
    board.close()
    board.close()
    assert board.closed
    with pytest.raises(kx3105.BoardError, match="closed"):
        board.read("mode")
    with kx3105.Board(simulate=True) as again:
        assert again.read("mode") == 1


def tool_failure(*args):
    done = run_cli(*args, check=False)
    assert done.returncode == 1
    return done.stderr.splitlines()[-1].removeprefix("kx3105-cli: ")


@pytest.mark.parametrize("keywords, options, error", [
    ({"port": "/tmp/kx3105-no-such-port"}, ["--port", "/tmp/kx3105-no-such-port"], None),
    ({"sim_fault": "no-board"}, ["--sim-fault", "no-board"], None),
    ({"simulate": True, "sim_state": "/nonexistent/dir/state"},
     ["--sim-state", "/nonexistent/dir/state"], None),
    ({"sim_seed": "x"}, [], "sim_seed takes a whole number, not 'x'"),
    ({"sim_speed": "slow"}, [], "sim_speed takes realtime or fast, not 'slow'"),
    ({"sim_input": {0: "1e999"}}, [], "sim_input 0=1e999"),
    ({"port": "/dev/parport9", "simulate": True}, [], "port and the simulated board exclude"),
])
def test_opening_fails_as_the_tool_does(keywords, options, error):
    if error:
        with pytest.raises(ValueError, match=error):
            kx3105.Board(**keywords)
        return
    with pytest.raises(kx3105.BoardError) as failure:
        kx3105.Board(**keywords)
    assert str(failure.value) == tool_failure(*options, "regs")


@pytest.mark.skipif(os.path.exists("/dev/parport0"), reason="this machine has a printer port")
def test_no_simulated_board_unless_asked_for():
    with pytest.raises(kx3105.BoardError, match=r"no printer port found.*simulate=True"):
        kx3105.Board()


@pytest.mark.parametrize("fault, call, command", [
    ("ignore-writes", lambda b: b.write("filter", 0x30), ["write", "filter", "30"]),
    ("ignore-writes", lambda b: b.configure(range="80mV"), ["capture", "1", "--range", "80mV"]),
    ("ready-stuck", lambda b: b.calibrate("internal-full"), ["calibrate", "internal-full"]),
    ("ready-stuck@40", lambda b: b.capture(100, filter=3, chop="off"),
     ["capture", "100", "--filter", "3", "--chop", "off"]),
])
def test_board_failures_are_board_errors_with_the_tools_words(fault, call, command):
    with kx3105.Board(sim_fault=fault) as board:
        with pytest.raises(kx3105.BoardError) as failure:
            call(board)
    assert str(failure.value) == tool_failure("--sim-fault", fault, *command)
    if fault.startswith("ready-stuck@"):
        # The codes read before the time-out are kept.
        assert 0 < len(failure.value.run) < 100
    else:
        assert failure.value.run is None


@pytest.mark.parametrize("call, words", [
    (lambda b: b.read("adc-kontrol"), "unknown register 'adc-kontrol' \\(status, mode"),
    (lambda b: b.write("status", 0), "status is read-only"),
    (lambda b: b.write("mode", 0x100), "does not fit the 8-bit mode register"),
    (lambda b: b.reset("hard"), "reset takes hardware or software"),
    (lambda b: b.calibrate("zero"), "calibrate takes internal-zero"),
    (lambda b: b.configure(chop="maybe"), "chop takes on or off"),
    (lambda b: b.configure(rate=10, filter=3), "a rate and a filter word both set"),
    (lambda b: b.capture(0), "from 1 to 10000000"),
])
def test_bad_arguments_are_value_errors(call, words):
    with kx3105.Board(simulate=True) as board:
        with pytest.raises(ValueError, match=words):
            call(board)


INTERRUPTED = textwrap.dedent("""
    import json, os, signal, subprocess, sys, threading
    import numpy as np
    import kx3105

    state, cli = sys.argv[1], sys.argv[2]
    report = {}
    try:
        with kx3105.Board(sim_state=state, sim_speed="realtime") as board:
            board.configure(filter=0x30, chop="off")
            # Ctrl-C from another thread, well into a capture that cannot end by itself.
            threading.Timer(1.0, os.kill, (os.getpid(), signal.SIGINT)).start()
            board.capture(10**6)
    except KeyboardInterrupt as stop:
        run = stop.run
        report["codes"] = len(run)
        report["times_rise"] = bool(np.all(np.diff(run.times) > 0))
        report["near_zero"] = bool(np.all(np.abs(run.codes.astype(np.int64) - 2**23) < 200))
        report["closed"] = board.closed
    # The port is free: another process takes the board's state file at once.
    report["tool"] = subprocess.run([cli, "--sim-state", state, "read", "mode"],
                                    capture_output=True, text=True, timeout=60).stdout.strip()
    with kx3105.Board(simulate=True) as again:
        report["again"] = again.read("mode")
    print(json.dumps(report))
""")


def test_ctrl_c_keeps_the_codes_read_and_releases_the_port(tmp_path, python):
    script = tmp_path / "interrupted.py"
    script.write_text(INTERRUPTED)
    done = subprocess.run([python, script, tmp_path / "board.state", CLI], capture_output=True,
                          text=True, timeout=240, env=os.environ)
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout)
    assert 0 < report["codes"] < 10**6
    assert report["times_rise"] and report["near_zero"] and report["closed"]
    # Continuous conversion (mode 3) with chopping off, as the capture left the board.
    assert report["tool"] == "83" and report["again"] == 1
