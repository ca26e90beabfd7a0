# SPDX-License-Identifier: MIT
"""The library's nine exports, declared as quoril.h declares them.

Each is a ctypes function of the caller-cleans-stack convention: wide text is 16-bit units
(c_uint16 arrays, whatever the platform's wchar_t), buffers are the caller's, and the answer is
1 or 0. quoril.h gives each one's contract.

The library is the one inside this package (quoril.dll on Windows, libquoril.so on Linux, as a
wheel ships it), loaded by its full path. Without one, it is the file the environment variable
QUORIL_LIBRARY names (a full path), else the system's: on Windows the quoril.dll that
ctypes.util.find_library finds on PATH, else the one in a folder given to os.add_dll_directory
(since Python 3.8 ctypes itself searches neither PATH nor the script's folder), on Linux
libquoril.so.1, the name programs bind to, by the dynamic loader's search.
"""

import ctypes
import ctypes.util
import os
import struct
import sys
from ctypes import POINTER, c_char, c_char_p, c_int32, c_uint16
from typing import Any

if sys.platform == "win32":
    BUNDLED_NAME = "quoril.dll"
    # MSVC's decoration of fnGetSVID, which differs between the 32-bit and the 64-bit DLL.
    if struct.calcsize("P") == 8:
        SVID_NAME = "?fnGetSVID@@YAHJQEAD@Z"
    else:
        SVID_NAME = "?fnGetSVID@@YAHJQAD@Z"
else:
    BUNDLED_NAME = "libquoril.so"
    SVID_NAME = "fnGetSVID"


def _path() -> str:
    bundled = os.path.join(os.path.dirname(os.path.abspath(__file__)), BUNDLED_NAME)
    if os.path.exists(bundled):
        return bundled
    named = os.environ.get("QUORIL_LIBRARY")
    if named:
        return named
    if sys.platform != "win32":
        return "libquoril.so.1"
    # Else the folders of the process's safe search, with those os.add_dll_directory added.
    return ctypes.util.find_library("quoril") or BUNDLED_NAME


library = ctypes.CDLL(_path())

WIDE = POINTER(c_uint16)
NARROW = POINTER(c_char)


def _declare(name: str, restype: Any, *argtypes: Any) -> Any:
    function = library[name]
    function.restype = restype
    function.argtypes = argtypes
    return function


Test = _declare("Test", None)
fnVoIsCPU = _declare("fnVoIsCPU", c_int32, c_char_p)
fnGetPID = _declare("fnGetPID", c_int32, WIDE)
fnGetWMIInfo = _declare("fnGetWMIInfo", c_int32, WIDE, WIDE)
fnGetBaseBoardPorductA = _declare("fnGetBaseBoardPorductA", c_int32, NARROW)
fnListDriverCaption = _declare("fnListDriverCaption", c_int32, WIDE, c_int32)
fnGetDriveCaptionW = _declare("fnGetDriveCaptionW", c_int32, WIDE, WIDE, c_int32)
hasBDOdd = _declare("hasBDOdd", c_int32)
fnGetSVID = _declare(SVID_NAME, c_int32, c_int32, NARROW)
