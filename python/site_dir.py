"""Prints where this python3 finds modules under an installation prefix, relative to the prefix.

The user base (~/.local) gives the user site, which python3 searches unasked; a prefix that holds
one of python3's own site directories (Debian: /usr/lib/python3/dist-packages,
/usr/local/lib/python3.11/dist-packages) that one; any other prefix the usual lib/pythonX.Y/
site-packages below it, to be put on PYTHONPATH.
"""
import os
import site
import sys
import sysconfig


def site_dir(prefix):
    prefix = os.path.abspath(prefix)
    if prefix == os.path.abspath(site.getuserbase()):
        return site.getusersitepackages()
    lib = os.path.join(prefix, "lib") + os.sep
    for directory in site.getsitepackages():
        if os.path.abspath(directory).startswith(lib):
            return directory
    return sysconfig.get_path("purelib", "posix_prefix", vars={"base": prefix, "platbase": prefix})


if __name__ == "__main__":
    prefix = os.path.abspath(sys.argv[1])
    print(os.path.relpath(site_dir(prefix), prefix))
