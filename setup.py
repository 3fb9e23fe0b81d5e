# SPDX-License-Identifier: MIT
# The Python package for pyproject.toml: CMake configures the project and builds the module (the
# target cantext_python, with the sources and definitions the CMake build gives it), and
# setuptools packages it with the package's Python files.  The version is the CMake project's.
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = Path(__file__).resolve().parent
# Apart from CMake's own build/ directory.
BUILD = SOURCE / "build-python"
CMAKE_BUILD = BUILD / "cmake"


def configure():
    """Configures the project for the module alone in CMAKE_BUILD; returns its version."""
    import pybind11

    subprocess.run(
        ["cmake", "-S", str(SOURCE), "-B", str(CMAKE_BUILD), "-DCMAKE_BUILD_TYPE=Release",
         "-DCANTEXT_PYTHON=ON", "-DCANTEXT_BUILD_TESTS=OFF", "-DCANTEXT_BUILD_EXAMPLES=OFF",
         f"-DPython_EXECUTABLE={sys.executable}", f"-Dpybind11_DIR={pybind11.get_cmake_dir()}"],
        check=True, stdout=subprocess.DEVNULL)
    for line in (CMAKE_BUILD / "CMakeCache.txt").read_text().splitlines():
        if line.startswith("CMAKE_PROJECT_VERSION:"):
            return line.partition("=")[2]
    raise RuntimeError("CMake gave the project no version")


class CMakeExtension(Extension):
    """The module CMake builds: setuptools compiles nothing itself."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        jobs = os.environ.get("CANTEXT_BUILD_JOBS", "2")
        subprocess.run(["cmake", "--build", str(CMAKE_BUILD), "--target", "cantext_python",
                        "--parallel", jobs], check=True)
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(CMAKE_BUILD / "python" / "cantext" / target.name, target)


setup(
    version=configure(),
    packages=["cantext"],
    package_dir={"": "python"},
    package_data={"cantext": ["py.typed", "*.pyi"]},
    ext_modules=[CMakeExtension("cantext._cantext")],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": BUILD.name}, "egg_info": {"egg_base": BUILD.name}},
)
