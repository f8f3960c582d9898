"""How users install the module, each from scratch: pip install . into a
virtual environment that sees Debian's packages, offline; cmake --install
after a build of the program alone; cmake --install where Debian's Python
looks. Run by ctest as PythonInstall (each builds the core again, so they
stay out of the module's own test run)."""

import os
import shutil
import subprocess
import sys

import pytest

SOURCE = os.environ.get("QOR_SOURCE_DIR", ".")
BUILD = os.environ.get("QOR_BUILD_DIR", "build")
PYTHON = "/usr/bin/python3"


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    assert done.returncode == 0, "%s\n%s\n%s" % (command, done.stdout, done.stderr)
    return done


def clean_environment():
    env = dict(os.environ)
    env.pop("PYTHONPATH", None)
    return env


def test_pip_installs_the_module_offline_into_a_virtual_environment(tmp_path):
    run([PYTHON, "-m", "venv", "--system-site-packages", str(tmp_path / "venv")])
    python = str(tmp_path / "venv" / "bin" / "python")
    env = clean_environment()
    # No index at all: everything the build needs is on the machine.
    run([python, "-m", "pip", "install", "--no-index", "--quiet", SOURCE], env=env, cwd=str(tmp_path))
    shown = run([python, "-c", "import qor, qor.dask, sys; print(qor.__version__, qor.__file__.startswith(sys.prefix), "
                               "qor.rank([[1.0, 0.0], [0.0, 1.0]], error=0.01).rank)"], env=env, cwd=str(tmp_path))
    program = run([os.path.join(BUILD, "qor"), "--version"]).stdout.split()[1]
    assert shown.stdout.split() == [program, "True", "2"]
    # Debian's own interpreter does not see it: it went into the environment.
    assert subprocess.run([PYTHON, "-c", "import qor"], env=env, cwd=str(tmp_path), capture_output=True).returncode != 0


def test_install_after_building_the_program_alone_says_the_module_was_left_out(tmp_path):
    build = str(tmp_path / "build")
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    run(["cmake", "-S", SOURCE, "-B", build, "-DQOR_TESTS=OFF", "-DQOR_BENCH=OFF"] + launcher)
    run(["cmake", "--build", build, "--target", "qor", "-j", "2"])
    installed = run(["cmake", "--install", build, "--prefix", str(tmp_path / "prefix")])
    assert "qor Python module: left out of the install, as it is not built" in installed.stdout
    assert os.path.exists(str(tmp_path / "prefix" / "bin" / "qor"))
    assert not any("qor" in dirs for _, dirs, _ in os.walk(str(tmp_path / "prefix" / "lib")))


@pytest.mark.parametrize("prefix", ["/usr/local", "/usr", os.path.expanduser("~/.local")])
def test_install_puts_the_module_where_debians_python_looks(tmp_path, prefix):
    stage = str(tmp_path / "stage")
    run(["cmake", "--install", BUILD, "--prefix", prefix], env=dict(os.environ, DESTDIR=stage))
    found = [root[len(stage):] for root, dirs, files in os.walk(stage)
             if os.path.basename(root) == "qor" and "__init__.py" in files]
    assert len(found) == 1, found
    site = os.path.dirname(found[0])
    looks = run([PYTHON, "-c", "import site, sys; print('\\n'.join(sys.path))"], env=clean_environment())
    assert site in looks.stdout.split("\n") or site == os.path.expanduser(
        "~/.local/lib/python%d.%d/site-packages" % sys.version_info[:2]), site
