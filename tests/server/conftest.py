"""Fixtures of the instrument server's client suite: the built kx3105-server started on a free
port, kx3105-cli beside it, and PyVISA with the pure-Python backend."""

import os
import signal
import subprocess
import time

import pytest

SERVER = os.environ.get("KX3105_SERVER", "build/server/kx3105-server")
CLI = os.environ.get("KX3105_CLI", "build/cli/kx3105-cli")


class Server:
    """One kx3105-server process; `port` from the first line it prints."""

    def __init__(self, *args):
        self.args = [SERVER, "--port", "0", *args]
        self.process = subprocess.Popen(self.args, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.strip().isdigit():
            self.process.kill()
            _, err = self.process.communicate(timeout=30)
            raise RuntimeError(f"kx3105-server did not start: {line!r} {err}")
        self.port = int(line)

    @property
    def resource(self):
        return f"TCPIP::127.0.0.1::{self.port}::SOCKET"

    def rss_kib(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise RuntimeError("no VmRSS")

    def stop(self, timeout=60):
        """SIGTERM; the exit status and standard error."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            _, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            _, err = self.process.communicate()
            raise
        return self.process.returncode, err


@pytest.fixture
def start_server():
    started = []

    def start(*args):
        server = Server(*args)
        started.append(server)
        return server

    yield start
    for server in started:
        if server.process.poll() is None:
            server.process.kill()
            server.process.wait()


@pytest.fixture
def server(start_server):
    return start_server("--simulate", "--sim-seed", "7")


@pytest.fixture(scope="session")
def visa():
    pyvisa = pytest.importorskip("pyvisa")
    pytest.importorskip("pyvisa_py")
    rm = pyvisa.ResourceManager("@py")
    yield rm
    rm.close()


@pytest.fixture
def instrument(visa, server):
    inst = visa.open_resource(server.resource, read_termination="\n", write_termination="\n",
                              timeout=60000)
    yield inst
    inst.close()


def run_cli(*args, input=None):
    """kx3105-cli with the arguments; (exit status, stdout, stderr)."""
    done = subprocess.run([CLI, *args], input=input, capture_output=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def wait_until(condition, timeout=60.0):
    """Polls condition until it holds; the bound only keeps a broken server from hanging the run."""
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError("condition not met in time")
        time.sleep(0.01)
