"""Builds the Python package `varnel` for the interpreter that runs it: CMake makes the compiled
module (varnel._varnel) of the core alone (VARNEL_PYTHON_ONLY: no window, no programs, no
tests), and the package's Python files come from python/varnel.

    python3 -m venv --system-site-packages v && v/bin/pip install --no-build-isolation .

CMAKE_BUILD_PARALLEL_LEVEL sets the jobs of the build (all cores when unset); VARNEL_CMAKE_ARGS
adds options of CMake's own (-DCMAKE_CXX_COMPILER=clang++, say).
"""
import hashlib
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent
# Debian's pure-Python packages: python3-wheel's among them.
DEBIAN_PACKAGES = pathlib.Path("/usr/lib/python3/dist-packages")


def wheel_from_debian():
    """An interpreter without the wheel package of its own (a venv of pyenv's, say) builds the
    wheel with Debian's python3-wheel, pure Python, when it is installed: no package index is
    needed for it either. Debian's packages come after the interpreter's own."""
    try:
        import wheel  # noqa: F401
    except ImportError:
        if (DEBIAN_PACKAGES / "wheel").is_dir() and str(DEBIAN_PACKAGES) not in sys.path:
            sys.path.append(str(DEBIAN_PACKAGES))


def project_version():
    """The version of project() in CMakeLists.txt, the program's only one."""
    text = (SOURCE / "CMakeLists.txt").read_text()
    found = re.search(r"project\(\s*Varnel\s+VERSION\s+([0-9.]+)", text)
    if not found:
        raise RuntimeError("CMakeLists.txt names no project version")
    return found.group(1)


class CMakeBuild(build_ext):
    """Configures and builds the target varnel_python, then copies the module where setuptools
    expects the extension."""

    def build_extension(self, ext):
        # One CMake folder per interpreter, so that a build for one is never taken for another's;
        # the venvs of one interpreter share its folder and build only what changed.
        interpreter = hashlib.sha1(os.path.realpath(sys.executable).encode()).hexdigest()[:12]
        build = pathlib.Path(self.build_temp).resolve() / ("cmake-" + interpreter)
        build.mkdir(parents=True, exist_ok=True)
        configure = ["cmake", "-S", str(SOURCE), "-B", str(build),
                     "-DCMAKE_BUILD_TYPE=Release",
                     "-DVARNEL_PYTHON_ONLY=ON",
                     "-DVARNEL_BUILD_TESTS=OFF",
                     "-DVARNEL_BUILD_BENCH=OFF",
                     "-DPython_EXECUTABLE=" + sys.executable]
        configure += shlex.split(os.environ.get("VARNEL_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        command = ["cmake", "--build", str(build), "--target", "varnel_python"]
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(command + ["-j", jobs], check=True)
        built = list((build / "python" / "varnel").glob("_varnel*.so"))
        if len(built) != 1:
            raise RuntimeError("the build made no single varnel/_varnel*.so in " + str(build / "python"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


wheel_from_debian()
setup(
    name="varnel",
    version=project_version(),
    description="Kinetic analysis of transitions between discrete states of single-molecule signals",
    packages=["varnel"],
    package_dir={"varnel": "python/varnel"},
    ext_modules=[Extension("varnel._varnel", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    python_requires=">=3.9",
    zip_safe=False,
)
