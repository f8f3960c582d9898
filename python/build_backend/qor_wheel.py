"""The build backend of `pip install .` (PEP 517): CMake builds the module
_qor, and the wheel holds it with the package's Python files.

It needs nothing but the standard library, CMake and a C++ compiler, so
that pip's isolated build environment needs nothing from an index and the
install works offline. pybind11 comes from the interpreter's own
site-packages (Debian's python3-pybind11), which pip's isolation hides from
the build: the CMake run gets the environment without it.
"""

import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NAME = "qor"


def version():
    """The project's one version: project(qor VERSION ...) in CMakeLists.txt."""
    with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(qor VERSION ([0-9.]+)", f.read())
    if not found:
        raise RuntimeError("CMakeLists.txt names no project version")
    return found.group(1)


def tag():
    """The wheel's tag for this interpreter and machine."""
    implementation = sys.implementation.cache_tag.replace("-", "")  # cpython311 -> cp311 below
    python = "cp%d%d" % sys.version_info[:2] if implementation.startswith("cpython") else implementation
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return "%s-%s-%s" % (python, python, platform)


def outside_isolation():
    """The environment without pip's isolation of the build, for CMake and
    the interpreter it asks for pybind11."""
    env = dict(os.environ)
    for name in ("PYTHONPATH", "PYTHONNOUSERSITE", "PYTHONNOUSERBASE"):
        env.pop(name, None)
    return env


def build_module(build):
    """Configures and builds _qor in `build`; returns its package folder."""
    configure = ["cmake", "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DQOR_TESTS=OFF",
                 "-DQOR_BENCH=OFF", "-DPython3_EXECUTABLE=" + sys.executable]
    if shutil.which("ccache"):
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    env = outside_isolation()
    subprocess.run(configure, check=True, env=env, stdout=sys.stderr)
    jobs = str(max(1, min(4, len(os.sched_getaffinity(0)))))
    subprocess.run(["cmake", "--build", build, "--target", "_qor", "-j", jobs], check=True, env=env,
                   stdout=sys.stderr)
    return os.path.join(build, "python", NAME)


def record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (path, digest, len(data))


def metadata():
    return ("Metadata-Version: 2.1\nName: %s\nVersion: %s\n"
            "Summary: How many independent components a data matrix holds, given its measurement error\n"
            "Requires-Python: >=3.9\nRequires-Dist: numpy\n" % (NAME, version()))


def write_wheel(package, wheel_directory):
    dist_info = "%s-%s.dist-info" % (NAME, version())
    name = "%s-%s-%s.whl" % (NAME, version(), tag())
    files = []
    for entry in sorted(os.listdir(package)):
        if entry.endswith(".py") or entry.endswith(".so"):
            with open(os.path.join(package, entry), "rb") as f:
                files.append(("%s/%s" % (NAME, entry), f.read()))
    files.append((dist_info + "/METADATA", metadata().encode()))
    files.append((dist_info + "/WHEEL", ("Wheel-Version: 1.0\nGenerator: qor_wheel\nRoot-Is-Purelib: false\n"
                                         "Tag: %s\n" % tag()).encode()))
    record = [record_line(path, data) for path, data in files] + [dist_info + "/RECORD,,"]
    files.append((dist_info + "/RECORD", ("\n".join(record) + "\n").encode()))
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files:
            wheel.writestr(path, data)
    return name


# ---- The hooks of PEP 517


def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    with tempfile.TemporaryDirectory(prefix="qor-wheel-") as build:
        return write_wheel(build_module(build), wheel_directory)
