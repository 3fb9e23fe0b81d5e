# SPDX-License-Identifier: MIT
# The compiled module for pyproject.toml: the binding sources and the library's own sources, as
# src/CMakeLists.txt compiles them, in one extension; the version is the CMake project's.
import re
from glob import glob
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

version = re.search(r"project\(cantext VERSION (\S+)", Path("CMakeLists.txt").read_text()).group(1)
sources = sorted(glob("python/module/*.cpp") + glob("src/frame/*.cpp") + glob("src/render/*.cpp"))

ParallelCompile("CANTEXT_BUILD_JOBS", default=2).install()
setup(
    version=version,
    packages=["cantext"],
    package_dir={"": "python"},
    package_data={"cantext": ["py.typed", "*.pyi"]},
    ext_modules=[
        Pybind11Extension(
            "cantext._cantext",
            sources,
            include_dirs=["include", "src"],
            define_macros=[("CANTEXT_VERSION", f'"{version}"')],
            cxx_std=17,
        )
    ],
    cmdclass={"build_ext": build_ext},
    # Apart from CMake's build/ directory.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
)
