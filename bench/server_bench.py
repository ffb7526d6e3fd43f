#!/usr/bin/env python3
"""kx3105-server against loopback, figures printed, nothing asserted:
  - *IDN? round trip from a Python client on one connection: p50, p99, worst;
  - READ? of 1,000,000 codes on the fast simulated board as a binary block (filter word 3,
    chopping off) against `kx3105-cli capture 1000000 -o -` with the same settings, whole process;
    wall time and the processor time of the server or the tool (which a loaded machine moves
    less).
Usage: bench/server_bench.py [BUILD_DIR] [ROUND_TRIPS] [RUNS]   (defaults: build 20000 3)"""

import os
import resource
import socket
import statistics
import subprocess
import sys
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
trips = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
server_path = f"{build}/server/kx3105-server"
cli_path = f"{build}/cli/kx3105-cli"
COUNT = 1_000_000


def read_line(sock, buffer):
    while b"\n" not in buffer:
        chunk = sock.recv(65536)
        if not chunk:
            raise EOFError
        buffer += chunk
    line, _, rest = buffer.partition(b"\n")
    return line, rest


def read_block(sock, buffer):
    while len(buffer) < 2:
        buffer += sock.recv(65536)
    digits = int(buffer[1:2])
    while len(buffer) < 2 + digits:
        buffer += sock.recv(65536)
    length = int(buffer[2:2 + digits])
    need = 2 + digits + length + 1
    parts = [buffer]
    have = len(buffer)
    while have < need:
        chunk = sock.recv(1 << 20)
        parts.append(chunk)
        have += len(chunk)
    data = b"".join(parts)
    return data[2 + digits:2 + digits + length], data[need:]


server = subprocess.Popen([server_path, "--simulate", "--port", "0"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
port = int(server.stdout.readline())
sock = socket.create_connection(("127.0.0.1", port))
sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
buffer = b""

times = []
for i in range(trips):
    start = time.perf_counter()
    sock.sendall(b"*IDN?\n")
    _, buffer = read_line(sock, buffer)
    times.append(time.perf_counter() - start)
times.sort()
us = [t * 1e6 for t in times]
print(f"*IDN? round trip, {trips} in turn: p50 {us[len(us) // 2]:.1f} us, "
      f"p99 {us[int(len(us) * 0.99)]:.1f} us, worst {us[-1]:.1f} us")

sock.sendall(b"CONF:CHOP OFF;FILT 3;:FORM INT,32;*OPC?\n")
_, buffer = read_line(sock, buffer)


def server_cpu():
    with open(f"/proc/{server.pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


server_times, server_cpus = [], []
for _ in range(runs):
    cpu = server_cpu()
    start = time.perf_counter()
    sock.sendall(f"READ? {COUNT}\n".encode())
    data, buffer = read_block(sock, buffer)
    server_times.append(time.perf_counter() - start)
    server_cpus.append(server_cpu() - cpu)
    assert len(data) == 4 * COUNT
sock.close()
server.terminate()
server.wait()

cli_times, cli_cpus = [], []
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run([cli_path, "--simulate", "capture", str(COUNT), "--chop", "off",
                           "--filter", "3", "-o", "-"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True)
    cli_times.append(time.perf_counter() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cli_cpus.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
    assert done.stdout.count(b"\n") == COUNT


def summary(values):
    return f"best {min(values) * 1e3:.0f} ms, median {statistics.median(values) * 1e3:.0f} ms"


print(f"READ? {COUNT} as a binary block over loopback: {summary(server_times)}; "
      f"server processor time {summary(server_cpus)}")
print(f"kx3105-cli capture {COUNT} -o - (whole process): {summary(cli_times)}; "
      f"processor time {summary(cli_cpus)}")
print(f"ratio server / tool (best): wall {min(server_times) / min(cli_times):.2f}, "
      f"processor {min(server_cpus) / min(cli_cpus):.2f}")
