# SPDX-License-Identifier: MIT
# The compiled module for pyproject.toml: the binding sources with the library's and the line
# reader's own sources, the files CMake compiles for them, in one extension; the version is the
# CMake project's.
import re
from glob import glob
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup


def cmake_sources(folder, target):
    """The .cpp files that folder/CMakeLists.txt gives `target`: its file(GLOB) patterns, or the
    files add_library() names."""
    text = Path(folder, "CMakeLists.txt").read_text()
    listed = re.search(rf"add_library\({target}\b[^)]*\)", text).group(0)
    if "${" not in listed:
        return [f"{folder}/{name}" for name in re.findall(r"[\w.]+\.cpp", listed)]
    patterns = re.search(r"file\(GLOB\b([^)]*)\)", text).group(1)
    found = re.findall(r"\$\{CMAKE_CURRENT_SOURCE_DIR\}/(\S+\.cpp)", patterns)
    return [path for pattern in found for path in glob(f"{folder}/{pattern}")]


version = re.search(r"project\(cantext VERSION (\S+)", Path("CMakeLists.txt").read_text()).group(1)
sources = sorted(
    glob("python/module/*.cpp") + cmake_sources("src", "cantext") + cmake_sources("reader", "cantext_reader")
)

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
            include_dirs=["include", "src", "reader"],
            define_macros=[("CANTEXT_VERSION", f'"{version}"')],
            cxx_std=17,
        )
    ],
    cmdclass={"build_ext": build_ext},
    # Apart from CMake's build/ directory.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
)
