"""Random and malformed SCPI lines for kx3105-server, each built so that its first unit is a
command error (so nothing after it on the line runs and the line answers nothing), and a runner
that sends them over one connection and checks that every line left a -1xx error in the queue.
Used by the client suite with a few thousand lines and by scripts/fuzz-server with a million."""

import random
import re
import socket

HEADERS = ["*IDN?", "*RST", "*CLS", "*ESR?", "*OPC", "SYST:ERR?", "SYSTem:ERRor:NEXT?",
           "SYST:LOCK:REQ?", "SYST:LOCK:REL", "CONF:RANG", "CONFigure:RANGe?", "CONF:POL",
           "CONF:RATE", "CONF:FILT", "CONF:CHOP", "CONF:CHAN?", "REG:READ?", "REG:WRIT",
           "REG:ALL?", "READ?", "FORM", "FORM:BORD", "MEAS:NOIS?", "CAL:ZERO", "ABOR"]
PARAMS = ["2.56", "20mV", "BIP", "UNIP", "ON", "0", "#H45", "adc-control", "1e3", "'x'",
          "INT,32", "-5", "AIN1-AINCOM", "10", "mode,45"]
# Bytes a random tail may hold: anything but the line end.
TAIL_BYTES = bytes(b for b in range(256) if b != 0x0A)
# What may open a line of random bytes so that it is no header: neither a letter, '*' nor ':'.
BAD_STARTS = bytes(b for b in range(256)
                   if b not in b"\n\r\t ;*:" and not chr(b).isalpha() and b < 0x80
                   or b >= 0x80)


def _tail(rng):
    n = rng.randrange(0, 40)
    return bytes(rng.choice(TAIL_BYTES) for _ in range(n))


def _unit(rng):
    header = rng.choice(HEADERS)
    if rng.random() < 0.5:
        header = header.lower()
    params = ",".join(rng.choice(PARAMS) for _ in range(rng.randrange(0, 3)))
    return (header + (" " + params if params else "")).encode()


def _broken_first_unit(rng):
    kind = rng.randrange(8)
    if kind == 0:  # an undefined header
        return b"ZQ" + _unit(rng)
    if kind == 1:  # a byte no header may hold, inside the header
        unit = bytearray(_unit(rng))
        header_end = unit.find(b" ") if b" " in unit else len(unit)
        bad = rng.choice([b for b in range(1, 32) if b not in (9, 10, 13)] + list(range(128, 256)))
        unit.insert(rng.randrange(1, header_end + 1), bad)
        return bytes(unit)
    if kind == 2:  # a string left open (the line ends with it: nothing may close it)
        return b"CONF:CHAN 'AIN1"
    if kind == 3:  # no number where one belongs
        return rng.choice([b"READ? many", b"CONF:RANG big", b"*ESE x"])
    if kind == 4:  # a parameter where none is taken
        return rng.choice([b"*CLS 1", b"*RST now", b"ABOR 2", b"REG:ALL? x"])
    if kind == 5:  # a mnemonic too long, an empty node, a stray character
        return rng.choice([b"CONFIGURATIONS:RANG 1", b"CONF::RANG 1", b"CONF:RANG,1", b"*IDN?x"])
    if kind == 6:  # a bad suffix or character in a number
        return rng.choice([b"CONF:RANG 20mA", b"READ? 12x", b"CONF:RATE 5..0"])
    # random bytes that cannot start a header
    return bytes([rng.choice(BAD_STARTS)]) + _tail(rng).replace(b";", b"")


def fuzz_line(rng):
    """One line (no line end)."""
    parts = [_broken_first_unit(rng)]
    if parts[0].endswith(b"'AIN1"):
        return parts[0]
    for _ in range(rng.randrange(0, 3)):
        parts.append(_unit(rng) if rng.random() < 0.7 else _tail(rng))
    line = b";".join(parts)
    return line[:60000]


COMMAND_ERROR = re.compile(rb'^-1\d\d,"')


def run(port, count, seed=1, batch=500, host="127.0.0.1"):
    """Sends `count` fuzz lines, each followed by SYST:ERR?;*CLS, and checks every answer is a
    command error. Returns the number of lines sent; raises AssertionError on a wrong answer."""
    rng = random.Random(seed)
    sock = socket.create_connection((host, port), timeout=120)
    reader = sock.makefile("rb")
    sent = 0
    try:
        while sent < count:
            n = min(batch, count - sent)
            lines = [fuzz_line(rng) for _ in range(n)]
            sock.sendall(b"".join(line + b"\nSYST:ERR?;*CLS\n" for line in lines))
            for line in lines:
                answer = reader.readline()
                if not COMMAND_ERROR.match(answer):
                    raise AssertionError(f"line {line!r} answered {answer!r}")
            sent += n
        sock.sendall(b"*IDN?\n")
        assert b"SIMULATED" in reader.readline()
    finally:
        reader.close()
        sock.close()
    return sent
