# SPDX-License-Identifier: MIT
"""Runs a Windows program under Wine: windows.py --win32|--win64 PROGRAM [ARGUMENT...]."""
import os
import sys
from pathlib import Path

root = Path(__file__).resolve().parent.parent.parent
os.execv("/bin/sh", ["sh", str(root / "cmake/wine-run.sh"), *sys.argv[1:]])
