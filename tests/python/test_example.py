"""The example of the README runs headless and writes its picture."""
import os
import pathlib
import subprocess
import sys

SOURCE = pathlib.Path(os.environ.get("KX3105_SOURCE_DIR", pathlib.Path(__file__).parents[2]))


def test_characterise_example_writes_its_png(tmp_path):
    picture = tmp_path / "noise.png"
    env = dict(os.environ, MPLBACKEND="Agg", MPLCONFIGDIR=str(tmp_path / "mpl"))
    done = subprocess.run([sys.executable, SOURCE / "python" / "examples" / "characterise.py",
                           "--count", "512", "-o", picture], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=240)
    assert done.returncode == 0, done.stderr
    header = picture.read_bytes()[:24]
    assert header[:8] == b"\x89PNG\r\n\x1a\n"
    assert (int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")) == (800, 800)
    rows = [line.split() for line in done.stdout.splitlines()[1:4]]
    rates = [float(row[0]) for row in rows]
    rms = [float(row[1]) for row in rows]
    # Three captures at three rates; white noise through the filter grows with the rate.
    assert rates == sorted(set(rates)) and rms == sorted(rms)
    assert done.stdout.splitlines()[-1] == f"Wrote {picture}"
