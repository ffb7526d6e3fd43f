"""The Debian package of a lab PC, made once by CPack from the built tree as scripts/package makes
it, looked at as a Debian admin would: what it installs and declares, lintian, the manual pages
against each program's --help, the bash completion, the service's exposure, and an install, a
removal and a purge by dpkg."""

import os
import re
import shutil
import subprocess

import pytest

BUILD = os.environ.get("KX3105_BUILD_DIR", "build")
PROGRAMS = {"kx3105": os.environ.get("KX3105_PROGRAM"),
            "kx3105-cli": os.environ.get("KX3105_CLI"),
            "kx3105-server": os.environ.get("KX3105_SERVER")}
UNIT = "usr/lib/systemd/system/kx3105-server.service"
OPTIONS_FILE = "etc/default/kx3105-server"


def need(*tools):
    for tool, package in tools:
        if not shutil.which(tool):
            pytest.skip(f"{tool} not found (Debian: {package})")


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    need(("cpack", "cmake"), ("dpkg-deb", "dpkg"), ("dpkg-shlibdeps", "dpkg-dev"))
    out = tmp_path_factory.mktemp("package")
    subprocess.run(["cpack", "-G", "DEB", "-B", str(out), "--config",
                    os.path.join(BUILD, "CPackConfig.cmake")],
                   check=True, capture_output=True, timeout=300)
    debs = list(out.glob("kx3105_*.deb"))
    assert len(debs) == 1, os.listdir(out)
    return debs[0]


@pytest.fixture(scope="module")
def unpacked(package, tmp_path_factory):
    root = tmp_path_factory.mktemp("unpacked")
    subprocess.run(["dpkg-deb", "-x", str(package), str(root)], check=True)
    return root


def deb(*args):
    return subprocess.run(["dpkg-deb", *args], check=True, capture_output=True,
                          text=True).stdout


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kw)


def test_contents(package, unpacked):
    files = {line.split()[-1].removeprefix("./") for line in deb("-c", str(package)).splitlines()}
    for path in ["usr/bin/kx3105", "usr/bin/kx3105-cli", "usr/libexec/kx3105-cli-charts",
                 "usr/bin/kx3105-server", UNIT, OPTIONS_FILE,
                 "usr/share/applications/kx3105.desktop",
                 "usr/share/icons/hicolor/scalable/apps/kx3105.svg",
                 "usr/share/man/man1/kx3105.1.gz", "usr/share/man/man1/kx3105-cli.1.gz",
                 "usr/share/man/man1/kx3105-server.1.gz",
                 "usr/share/bash-completion/completions/kx3105-cli",
                 "usr/share/bash-completion/completions/kx3105-server",
                 "usr/share/doc/kx3105/copyright", "usr/share/doc/kx3105/changelog.gz"]:
        assert path in files
    # Installed, not enabled: no wants link, nothing in /etc but the options file.
    assert not any("multi-user.target.wants" in f for f in files)
    assert {f for f in files if f.startswith("etc/") and not f.endswith("/")} == {OPTIONS_FILE}
    unit = (unpacked / UNIT).read_text()
    assert "ExecStart=/usr/bin/kx3105-server $KX3105_SERVER_OPTIONS" in unit
    assert "EnvironmentFile=-/etc/default/kx3105-server" in unit
    assert "WantedBy=multi-user.target" in unit
    # The shipped options file sets the variable the unit passes, to nothing.
    options = subprocess.run(["sh", "-c", f". '{unpacked / OPTIONS_FILE}' && "
                              "printf %s \"${KX3105_SERVER_OPTIONS-unset}\""],
                             capture_output=True, text=True, check=True).stdout
    assert options == ""


def test_control(package, tmp_path):
    fields = dict(line.split(": ", 1) for line in
                  deb("-f", str(package)).splitlines() if ": " in line)
    assert fields["Package"] == "kx3105"
    assert fields["Architecture"] == "amd64"
    depends = fields["Depends"].split(", ")
    assert {"libqt6core6", "libqt6widgets6", "libfftw3-double3", "qt6-qpa-plugins",
            "libstdc++6"} <= {d.split()[0] for d in depends}
    # The module names the one CPython it was built for.
    python_built = os.path.isdir(os.path.join(BUILD, "python"))
    pythons = [d for d in depends if d.split()[0] == "python3"]
    if python_built:
        built_for = re.search(r"cpython-3(\d+)", " ".join(os.listdir(os.path.join(BUILD, "python"))))
        minor = int(built_for.group(1))
        assert sorted(pythons) == sorted([f"python3 (>= 3.{minor}~)", f"python3 (<< 3.{minor + 1})"])
    else:
        assert pythons == []
    deb("-e", str(package), str(tmp_path / "control"))
    control = tmp_path / "control"
    assert (control / "conffiles").read_text().split() == ["/" + OPTIONS_FILE]
    for script in ("postinst", "prerm", "postrm"):
        text = (control / script).read_text()
        assert os.access(control / script, os.X_OK)
        commands = [line for line in text.splitlines() if not line.lstrip().startswith("#")]
        assert not any("enable" in line for line in commands), script
        assert run("sh", "-n", str(control / script)).returncode == 0


def test_lintian_is_clean(package):
    need(("lintian", "lintian"))
    done = subprocess.run(["lintian", "--fail-on", "error,warning", "--no-tag-display-limit",
                           str(package)], capture_output=True, text=True, timeout=600)
    complaints = [line for line in done.stdout.splitlines() if line[:2] in ("E:", "W:")]
    assert done.returncode == 0 and not complaints, done.stdout + done.stderr


def help_options(text):
    """Every option a help text names: --long and -s words."""
    return set(re.findall(r"(?<![\w-])(--?[A-Za-z][\w-]*)", text))


def manual(path):
    env = dict(os.environ, MANWIDTH="250", LC_ALL="C.UTF-8")
    done = run("man", "--nh", "--nj", "-l", str(path), env=env)
    assert done.returncode == 0, done.stderr
    return done.stdout


def cli_commands():
    text = run(PROGRAMS["kx3105-cli"], "--help").stdout
    section = text.split("\nCommands:\n", 1)[1].split("\n\n", 1)[0]
    return re.findall(r"^  (\S+)", section, re.M)


@pytest.mark.parametrize("program", PROGRAMS)
def test_manual_page_shows_every_option_of_the_help(unpacked, program):
    need(("man", "man-db"))
    page = manual(unpacked / "usr/share/man/man1" / f"{program}.1.gz")
    helps = [run(PROGRAMS[program], "--help", env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))]
    if program == "kx3105-cli":
        commands = cli_commands()
        assert len(commands) >= 10
        helps += [run(PROGRAMS[program], command, "--help") for command in commands]
        for command in commands:
            assert re.search(rf"^ +{re.escape(command)}\b", page, re.M), command
    for shown in helps:
        assert shown.returncode == 0 and shown.stdout, shown.stderr
        missing = {o for o in help_options(shown.stdout) if not re.search(
            rf"(?<![\w-]){re.escape(o)}(?![\w-])", page)}
        assert not missing, f"{shown.args}: {sorted(missing)}"


def complete(unpacked, line, cwd=None):
    """What bash-completion offers at the end of `line`, with the package's completion loaded."""
    script = ("source /usr/share/bash-completion/bash_completion\n"
              "source \"$1\"\n"
              "COMP_LINE=$2; COMP_POINT=${#COMP_LINE}\n"
              "read -ra COMP_WORDS <<< \"$COMP_LINE\"\n"
              "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
              "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
              "\"$3\" \"${COMP_WORDS[0]}\" \"${COMP_WORDS[COMP_CWORD]}\"\n"
              "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
    program = line.split()[0]
    function = "_" + program.replace("-", "_")
    done = run("bash", "-c", script, "complete",
               str(unpacked / "usr/share/bash-completion/completions" / program), line, function,
               cwd=cwd)
    assert done.returncode == 0, done.stderr
    return [w for w in done.stdout.split("\n") if w]


def help_line(command, option):
    """The help of an option, its wrapped lines joined."""
    text = run(PROGRAMS["kx3105-cli"], command, "--help").stdout
    found = re.search(rf"^  {re.escape(option)} \S+ +(.*(?:\n {{21}}\S.*)*)", text, re.M)
    return " ".join(found.group(1).split())


def test_bash_completion(unpacked, tmp_path):
    if not os.path.isfile("/usr/share/bash-completion/bash_completion"):
        pytest.skip("bash-completion not installed (Debian: bash-completion)")
    assert complete(unpacked, "kx3105-cli cap") == ["capture"]
    assert set(cli_commands()) == set(complete(unpacked, "kx3105-cli "))
    # The ranges as capture --help names them ("20mV, 40mV, ..., 1.28V or 2.56V").
    ranges = re.split(r", | or ", help_line("capture", "--range").split(" (")[0])
    assert len(ranges) == 8
    assert complete(unpacked, "kx3105-cli capture 100 --range ") == ranges
    assert complete(unpacked, "kx3105-cli --simulate capture 100 --range=1.") == ["1.28V"]
    assert complete(unpacked, "kx3105-cli capture --format ") == ["dat", "csv", "json"]
    assert complete(unpacked, "kx3105-cli capture --fo") == ["--format"]
    assert complete(unpacked, "kx3105-cli capture 10 --chop ") == ["on", "off"]
    assert "--sim-state" in complete(unpacked, "kx3105-cli capture --sim-")
    # The registers as regs lists them.
    regs = [line.split()[0] for line in run(PROGRAMS["kx3105-cli"], "--simulate", "regs",
                                            "--data").stdout.splitlines()]
    assert complete(unpacked, "kx3105-cli --port /dev/parport0 read ") == regs
    assert complete(unpacked, "kx3105-cli write ad") == ["adc-control"]
    assert complete(unpacked, "kx3105-cli write adc-control ") == []
    assert complete(unpacked, "kx3105-cli reset ") == ["hardware", "software"]
    # File arguments.
    (tmp_path / "run.dat").write_text("1\n")
    (tmp_path / "drift.csv").write_text("")
    assert complete(unpacked, "kx3105-cli analyse r", cwd=tmp_path) == ["run.dat"]
    assert complete(unpacked, "kx3105-cli --trace d", cwd=tmp_path) == ["drift.csv"]
    assert complete(unpacked, "kx3105-cli sweep -o r", cwd=tmp_path) == ["run.dat"]
    # The server: its own options and the board's.
    assert complete(unpacked, "kx3105-server --li") == ["--listen"]
    assert {"--allow", "--simulate", "--sim-state", "--help"} <= set(
        complete(unpacked, "kx3105-server --"))
    assert complete(unpacked, "kx3105-server --sim-state r", cwd=tmp_path) == ["run.dat"]


def test_service_exposure_is_at_most_4(unpacked):
    need(("systemd-analyze", "systemd"))
    done = run("systemd-analyze", "security", "--offline=true", f"--root={unpacked}",
               "--threshold=40", "kx3105-server.service")
    level = re.search(r"Overall exposure level for kx3105-server\.service: (\d+\.\d+)",
                      done.stdout)
    assert level, done.stdout + done.stderr
    assert float(level.group(1)) <= 4.0, done.stdout
    assert done.returncode == 0, done.stdout + done.stderr


def files_under(root):
    found = set()
    for directory, _, names in os.walk(root):
        rel = os.path.relpath(directory, root)
        if rel == "var/lib/dpkg" or rel.startswith("var/lib/dpkg/"):
            continue
        found |= {os.path.normpath(os.path.join(rel, n)) for n in names}
    return found


def test_install_remove_and_purge(package, tmp_path):
    """dpkg into a root of its own (the machine's own packages untouched), the maintainer scripts
    run as dpkg runs them there (DPKG_ROOT)."""
    need(("dpkg", "dpkg"))
    if os.geteuid() != 0:
        pytest.skip("dpkg installs as root only (CI runs as root)")
    root = tmp_path / "root"
    admin = root / "var/lib/dpkg"
    for d in ("info", "updates", "triggers"):
        (admin / d).mkdir(parents=True)
    (admin / "status").touch()

    def dpkg(*args):
        done = run("dpkg", f"--root={root}", "--force-script-chrootless", "--force-depends",
                   "--force-not-root", "--log=/dev/null", *args)
        assert done.returncode == 0, done.stdout + done.stderr

    dpkg("-i", str(package))
    installed = files_under(root)
    assert {"usr/bin/kx3105-server", UNIT, OPTIONS_FILE} <= installed
    # The admin's options survive a removal.
    (root / OPTIONS_FILE).write_text('KX3105_SERVER_OPTIONS="--listen 0.0.0.0"\n')
    dpkg("-r", "kx3105")
    assert files_under(root) == {OPTIONS_FILE}
    assert "0.0.0.0" in (root / OPTIONS_FILE).read_text()
    dpkg("-P", "kx3105")
    assert files_under(root) == set()


def test_install_into_a_prefix_keeps_the_options(tmp_path):
    """scripts/install's `cmake --install`: the unit names the program and the options file where
    they went, and an admin's options survive the next install."""
    prefix = tmp_path / "prefix"

    def install():
        done = run("cmake", "--install", BUILD, "--prefix", str(prefix), "--component", "server")
        assert done.returncode == 0, done.stdout + done.stderr

    install()
    unit = (prefix / "lib/systemd/system/kx3105-server.service").read_text()
    assert f"ExecStart={prefix}/bin/kx3105-server $KX3105_SERVER_OPTIONS" in unit
    assert f"EnvironmentFile=-{prefix}/{OPTIONS_FILE}" in unit
    for path in ("bin/kx3105-server", "share/bash-completion/completions/kx3105-server",
                 "share/man/man1/kx3105-server.1.gz"):
        assert (prefix / path).is_file(), path
    (prefix / OPTIONS_FILE).write_text('KX3105_SERVER_OPTIONS="--allow 10.0.0.0/8"\n')
    install()
    assert "10.0.0.0/8" in (prefix / OPTIONS_FILE).read_text()


def test_install_of_an_unbuilt_tree_names_the_targets_to_build(tmp_path):
    """After scripts/run (only the program and the tool built), `cmake --install` says what to
    build first, before it installs anything."""
    source = os.environ.get("KX3105_SOURCE_DIR")
    if not source:
        pytest.skip("KX3105_SOURCE_DIR not set")
    tree, prefix = tmp_path / "build", tmp_path / "prefix"
    configured = run("cmake", "-S", source, "-B", str(tree), "-DBUILD_TESTING=OFF",
                     "-DKX_BENCHMARKS=OFF")
    assert configured.returncode == 0, configured.stdout + configured.stderr
    for component in ([], ["--component", "server"]):
        done = run("cmake", "--install", str(tree), "--prefix", str(prefix), *component)
        assert done.returncode != 0
        wanted = re.search(r"cmake --build \S+ --target (.*)", done.stderr)
        assert wanted, done.stderr
        targets = set(wanted.group(1).split())
        assert {"kx3105-server", "kx3105_manuals"} <= targets
        assert ("kx3105" in targets) == (component == [])
        assert not prefix.exists() or not any(p.is_file() for p in prefix.rglob("*"))
