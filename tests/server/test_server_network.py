"""kx3105-server on the network: many clients at once, clients that go away, fuzzed lines, the
limits it keeps (allow list, line length, client count, idle time), the port trace of a read and
the end on SIGTERM. Raw sockets here: what matters is the bytes on the wire."""

import signal
import socket
import subprocess
import sys
import threading

import pytest

import scpi_fuzz
from conftest import run_cli, wait_until


def connect(port, source=None):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.settimeout(120)
    if source:
        sock.bind((source, 0))
    sock.connect(("127.0.0.1", port))
    return sock, sock.makefile("rb")


def ask(sock, reader, line):
    sock.sendall(line.encode() + b"\n")
    return reader.readline().decode().rstrip("\n")


def test_hundred_clients_hundred_commands(start_server):
    server = start_server("--simulate", "--sim-seed", "3")
    errors = []

    def client(n):
        try:
            sock, reader = connect(server.port)
            with sock, reader:
                for i in range(100):
                    kind = (n + i) % 4
                    if kind == 0:
                        want = "SIMULATED"
                        got = ask(sock, reader, "*IDN?")
                        ok = want in got
                    elif kind == 1:
                        got = ask(sock, reader, f"*ESE {i};*ESE?")
                        ok = got == str(i)
                    elif kind == 2:
                        got = ask(sock, reader, "READ? 10")
                        ok = len(got.split(",")) == 10
                    else:
                        # The undefined header ends its line: the query after it never runs.
                        sock.sendall(f"NOPE{i};SYST:ERR?\n".encode())
                        got = ask(sock, reader, "SYST:ERR?;SYST:ERR?")
                        ok = got == '-113,"Undefined header";0,"No error"'
                    if not ok:
                        errors.append((n, i, got))
                        return
        except Exception as e:  # noqa: BLE001 - any failure of a client is the finding
            errors.append((n, "exception", repr(e)))

    def round_of_clients():
        threads = [threading.Thread(target=client, args=(n,)) for n in range(100)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()

    sock, reader = connect(server.port)
    with sock, reader:  # the fastest rate, so the reads take little of the run
        assert ask(sock, reader, "CONF:CHOP OFF;FILT 3;*OPC?") == "1"
    round_of_clients()
    after_first = server.rss_kib()
    for _ in range(2):
        round_of_clients()
    assert errors == []
    # Memory flat: two more rounds of 10,000 commands add nothing that stays.
    assert server.rss_kib() - after_first < 4096
    status, err = server.stop()
    assert status == 0, err


def test_client_killed_mid_transfer(start_server):
    server = start_server("--simulate")
    # A client that asks for four million bytes and is killed once the answer has begun.
    killer = subprocess.Popen([sys.executable, "-c", f"""
import socket, sys
s = socket.create_connection(("127.0.0.1", {server.port}))
s.sendall(b"CONF:CHOP OFF;FILT 3;:FORM INT,32;:READ? 1000000\\n")
s.recv(1)
print("reading", flush=True)
sys.stdin.read()
"""], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    assert killer.stdout.readline().strip() == "reading"
    killer.kill()
    killer.wait()
    sock, reader = connect(server.port)
    with sock, reader:
        assert "SIMULATED" in ask(sock, reader, "*IDN?")
        assert len(ask(sock, reader, "READ? 100").split(",")) == 100
    status, err = server.stop()
    assert status == 0, err


def test_fuzzed_lines(start_server):
    server = start_server("--simulate")
    assert scpi_fuzz.run(server.port, 20000, seed=5) == 20000
    status, err = server.stop()
    assert status == 0, err


def test_refused_outside_allow_list(start_server):
    server = start_server("--simulate", "--listen", "127.0.0.1", "--allow", "127.0.0.2/32")
    sock, reader = connect(server.port, source="127.0.0.3")
    with sock, reader:
        assert b"may not connect" in reader.readline()
        assert reader.readline() == b""  # closed
    sock, reader = connect(server.port, source="127.0.0.2")
    with sock, reader:
        assert "SIMULATED" in ask(sock, reader, "*IDN?")


def test_long_line_refused_connection_lives(start_server):
    server = start_server("--simulate")
    sock, reader = connect(server.port)
    with sock, reader:
        sock.sendall(b"*IDN?" + b"x" * (1 << 20) + b"\n")
        # Exactly the limit still counts as a line (an undefined header here).
        sock.sendall(b"A" * 65536 + b"\n")
        assert ask(sock, reader, "SYST:ERR?") == \
            '-363,"Input buffer overrun;a line longer than 65536 bytes"'
        assert ask(sock, reader, "SYST:ERR?") == '-112,"Program mnemonic too long"'
        assert "SIMULATED" in ask(sock, reader, "*IDN?")


def test_client_limit_and_idle_time(start_server):
    server = start_server("--simulate", "--max-clients", "2", "--idle-timeout", "1")
    first = connect(server.port)
    second = connect(server.port)
    assert "SIMULATED" in ask(*second, "*IDN?")
    third = connect(server.port)
    assert b"refused: already serving 2 clients" in third[1].readline()
    assert third[1].readline() == b""
    # Idle connections are closed by the server; then a new client is served.
    assert first[1].readline() == b"" and second[1].readline() == b""
    fourth = connect(server.port)
    assert "SIMULATED" in ask(*fourth, "*IDN?")
    for sock, reader in (first, second, third, fourth):
        reader.close()
        sock.close()


def test_port_trace_of_read_equals_cli_capture(start_server, tmp_path):
    server_trace = tmp_path / "server.trace"
    cli_trace = tmp_path / "cli.trace"
    server = start_server("--simulate", "--sim-seed", "9", "--trace", str(server_trace))
    sock, reader = connect(server.port)
    with sock, reader:
        ask(sock, reader, "CONF:RANG 40mV;CHOP OFF;FILT 5;*OPC?")
        before = len(server_trace.read_text().splitlines())
        codes = ask(sock, reader, "READ? 100").split(",")
    status, err = server.stop()
    assert status == 0, err
    read_lines = server_trace.read_text().splitlines()[before:]

    status, out, err = run_cli("--simulate", "--sim-seed", "9", "--trace", str(cli_trace),
                               "capture", "100", "--range", "40mV", "--chop", "off",
                               "--filter", "5")
    assert status == 0, err
    assert out.decode().split() == codes
    cli_lines = cli_trace.read_text().splitlines()
    assert len(read_lines) > 100 * 24 * 2
    assert cli_lines[-len(read_lines):] == read_lines


def test_sigterm_ends_read_and_answers(start_server, tmp_path):
    # In real time at the slowest rate a read of 1000 codes would take minutes.
    trace = tmp_path / "server.trace"
    server = start_server("--simulate", "--sim-speed", "realtime", "--trace", str(trace))
    sock, reader = connect(server.port)
    with sock, reader:
        ask(sock, reader, "CONF:FILT FF;*OPC?")
        before = len(trace.read_text().splitlines())
        sock.sendall(b"READ? 1000\n")
        # The read is under way once the ready line is being polled.
        wait_until(lambda: len(trace.read_text().splitlines()) > before + 1000)
        server.process.send_signal(signal.SIGTERM)
        answer = reader.readline()
        assert answer.endswith(b"\n") and len(answer.split(b",")) < 1000
        assert reader.readline() == b""  # then the connection is closed
    status, err = server.stop()
    assert status == 0, err
    assert "stopping on SIGTERM" in err
