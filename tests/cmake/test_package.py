"""The Debian package of a lab PC, made by CPack from the built tree as scripts/package makes it:
what it installs, what it declares it needs, and that it enables no service by itself."""

import os
import shutil
import subprocess

import pytest

BUILD = os.environ.get("KX3105_BUILD_DIR", "build")


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
        if not shutil.which(tool):
            pytest.skip(f"{tool} not found (Debian: cmake, dpkg-dev)")
    out = tmp_path_factory.mktemp("package")
    subprocess.run(["cpack", "-G", "DEB", "-B", str(out), "--config",
                    os.path.join(BUILD, "CPackConfig.cmake")],
                   check=True, capture_output=True, timeout=300)
    debs = list(out.glob("kx3105_*_amd64.deb")) + list(out.glob("kx3105_*.deb"))
    assert debs, os.listdir(out)
    return debs[0]


def deb(*args):
    return subprocess.run(["dpkg-deb", *args], check=True, capture_output=True,
                          text=True).stdout


def test_contents(package):
    files = {line.split()[-1] for line in deb("-c", str(package)).splitlines()}
    for path in ["./usr/bin/kx3105", "./usr/bin/kx3105-cli", "./usr/libexec/kx3105-cli-charts",
                 "./usr/bin/kx3105-server", "./usr/lib/systemd/system/kx3105-server.service",
                 "./usr/share/applications/kx3105.desktop",
                 "./usr/share/icons/hicolor/scalable/apps/kx3105.svg"]:
        assert path in files
    # Installed, not enabled: no wants link, no script that would enable it.
    assert not any("multi-user.target.wants" in f or f.startswith("./etc/") for f in files)
    unit = subprocess.run(f"dpkg-deb --fsys-tarfile '{package}' | tar -xO "
                          "./usr/lib/systemd/system/kx3105-server.service",
                          shell=True, check=True, capture_output=True, text=True).stdout
    assert "ExecStart=/usr/bin/kx3105-server $KX3105_SERVER_OPTIONS" in unit
    assert "WantedBy=multi-user.target" in unit


def test_control(package, tmp_path):
    fields = dict(line.split(": ", 1) for line in
                  deb("-f", str(package)).splitlines() if ": " in line)
    assert fields["Package"] == "kx3105"
    assert fields["Architecture"] == "amd64"
    depends = {d.split()[0] for d in fields["Depends"].split(", ")}
    assert {"libqt6core6", "libqt6widgets6", "libfftw3-double3", "qt6-qpa-plugins",
            "libstdc++6"} <= depends
    python_built = os.path.isdir(os.path.join(BUILD, "python"))
    assert ("python3" in depends) == python_built
    deb("-e", str(package), str(tmp_path / "control"))
    for script in ("postinst", "prerm"):
        path = tmp_path / "control" / script
        assert not path.exists() or "systemctl enable" not in path.read_text()
