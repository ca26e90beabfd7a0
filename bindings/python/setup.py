# SPDX-License-Identifier: MIT
"""Builds one wheel of the quoril package with the native library it carries, for one platform:

    QUORIL_VERSION=1.0.0 python3 setup.py bdist_wheel --python-tag py3 --plat-name linux_x86_64

run in a folder holding this file and quoril/ with the library already copied in (quoril.dll,
or libquoril.so). `make dist` does this for each of the three platforms.
"""

import os

from setuptools import setup

setup(
    name="quoril",
    version=os.environ["QUORIL_VERSION"],
    description="What the Quoril library tells about this machine: system board, optical "
                "drives, processor brand, display adapters",
    author="The Quoril Authors",
    license="MIT",
    python_requires=">=3.8",
    packages=["quoril"],
    package_data={"quoril": ["quoril.dll", "libquoril.so"]},
    zip_safe=False,
)
