# SPDX-License-Identifier: MIT
import os
from pathlib import Path


def pytest_configure(config):
    # Under ctest the module built in the build tree is the one under test, not an installed one.
    expected = os.environ.get("CANTEXT_PACKAGE_DIR")
    if expected:
        import cantext

        found = Path(cantext.__file__).parent
        assert found == Path(expected), f"cantext imported from {found}, not {expected}"
