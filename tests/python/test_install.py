"""What a user gets: the module installed by `cmake --install` where python3 finds it, with its
type stubs beside it, and every name the module offers documented and in the stubs."""
import ast
import inspect
import os
import pathlib
import subprocess
import sys

import pytest

import kx3105

BUILD = os.environ.get("KX3105_BUILD_DIR", "build")
SOURCE = pathlib.Path(os.environ.get("KX3105_SOURCE_DIR", pathlib.Path(__file__).parents[2]))

USE = ("import kx3105\n"
       "with kx3105.Board(simulate=True) as board:\n"
       "    print(kx3105.__file__, kx3105.analyse(board.capture(20))['codes'])\n")


@pytest.mark.parametrize("user_site", [True, False], ids=["user-site", "other-prefix"])
def test_installed_module_is_found_and_works(tmp_path, user_site):
    home = tmp_path / "home"
    prefix = home / ".local" if user_site else tmp_path / "prefix"
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env["HOME"] = str(home)
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(prefix), "--component", "python"],
                   env=env, check=True, capture_output=True, timeout=120)
    modules = list(prefix.rglob("kx3105*.so"))
    assert len(modules) == 1
    assert (modules[0].parent / "kx3105.pyi").is_file()
    if not user_site:
        # Nothing searches an arbitrary prefix: its site-packages goes on PYTHONPATH.
        assert modules[0].parent.name == "site-packages"
        env["PYTHONPATH"] = str(modules[0].parent)
    # The user site of that home is searched unasked.
    done = subprocess.run([sys.executable, "-c", USE], cwd=tmp_path, env=env, capture_output=True,
                          text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == [str(modules[0]), "20"]


def stubbed_names():
    tree = ast.parse((SOURCE / "python" / "kx3105.pyi").read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            names[node.name] = {n.name for n in node.body if isinstance(n, ast.FunctionDef)} | {
                n.target.id for n in node.body if isinstance(n, ast.AnnAssign)}
        elif isinstance(node, ast.FunctionDef):
            names[node.name] = set()
        elif isinstance(node, ast.AnnAssign) and not node.target.id.startswith("_"):
            names[node.target.id] = set()
    return names


def described(thing):
    """Its docstring says something beyond the signature pybind11 puts first."""
    doc = inspect.getdoc(thing) or ""
    if doc.startswith(getattr(thing, "__name__", "?") + "("):
        doc = doc.partition("\n")[2]
    return bool(doc.strip())


def public(names):
    return {n for n in names if not n.startswith("_")}


def test_every_name_is_documented_and_in_the_stubs():
    stubs = stubbed_names()
    assert public(stubs) == public(dir(kx3105)) - {"annotations"}
    for name in public(dir(kx3105)):
        thing = getattr(kx3105, name)
        if name == "__version__" or isinstance(thing, str):
            continue
        assert described(thing), name
        if inspect.isclass(thing):
            members = public(vars(thing))
            assert members == public(stubs[name]), name
            for member in members:
                attribute = inspect.getattr_static(thing, member)
                if callable(attribute) or isinstance(attribute, property):
                    assert described(attribute), f"{name}.{member}"
