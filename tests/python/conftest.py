"""Shared pieces of the Python module's tests: the built kx3105-cli beside the module, and
comparisons of the module's figures with the tool's."""
import json
import math
import os
import subprocess
import sys

import pytest

CLI = os.environ.get("KX3105_CLI", "kx3105-cli")


def run_cli(*args, cwd=None, check=True, timeout=120):
    """Runs kx3105-cli; its standard output as text (the whole result with check=False)."""
    done = subprocess.run([CLI, *map(str, args)], cwd=cwd, capture_output=True, text=True,
                          timeout=timeout)
    if check:
        assert done.returncode == 0, done.stderr
        return done.stdout
    return done


def cli_json(*args, **kwargs):
    return json.loads(run_cli(*args, **kwargs))


def assert_same_figures(ours, theirs, path="", rel=1e-12):
    """Key for key, numbers to `rel` (exact for whole numbers and flags), null as None."""
    if isinstance(theirs, dict):
        assert isinstance(ours, dict), path
        assert sorted(ours) == sorted(theirs), path
        for key in theirs:
            assert_same_figures(ours[key], theirs[key], f"{path}.{key}", rel)
    elif isinstance(theirs, list):
        assert isinstance(ours, list) and len(ours) == len(theirs), path
        for i, (a, b) in enumerate(zip(ours, theirs)):
            assert_same_figures(a, b, f"{path}[{i}]", rel)
    elif isinstance(theirs, bool) or theirs is None or isinstance(theirs, str):
        assert ours == theirs, path
    elif isinstance(theirs, int) and not isinstance(ours, float):
        assert ours == theirs, path
    else:
        assert math.isclose(ours, theirs, rel_tol=rel, abs_tol=0), f"{path}: {ours} != {theirs}"


@pytest.fixture
def python():
    """The interpreter running the tests, for the scripts they start."""
    return sys.executable
