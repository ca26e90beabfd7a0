# SPDX-License-Identifier: MIT
"""The library's nine exports, declared as quoril.h declares them.

Each is a ctypes function of the caller-cleans-stack convention: wide text is 16-bit units
(c_uint16 arrays, whatever the platform's wchar_t), buffers are the caller's, and the answer is
1 or 0. quoril.h gives each one's contract.

The library is the one inside this package (quoril.dll on Windows, libquoril.so on Linux, as a
wheel ships it), else the system's: quoril.dll by Windows' search, libquoril.so.1 (the name
programs bind to on Linux) by the dynamic loader's.
"""

import ctypes
import os
import struct
import sys
from ctypes import POINTER, c_char, c_char_p, c_int32, c_uint16

if sys.platform == "win32":
    BUNDLED_NAME = SYSTEM_NAME = "quoril.dll"
    # MSVC's decoration of fnGetSVID, which differs between the 32-bit and the 64-bit DLL.
    if struct.calcsize("P") == 8:
        SVID_NAME = "?fnGetSVID@@YAHJQEAD@Z"
    else:
        SVID_NAME = "?fnGetSVID@@YAHJQAD@Z"
else:
    BUNDLED_NAME = "libquoril.so"
    SYSTEM_NAME = "libquoril.so.1"
    SVID_NAME = "fnGetSVID"


def _load():
    bundled = os.path.join(os.path.dirname(os.path.abspath(__file__)), BUNDLED_NAME)
    return ctypes.CDLL(bundled if os.path.exists(bundled) else SYSTEM_NAME)


library = _load()

WIDE = POINTER(c_uint16)
NARROW = POINTER(c_char)


def _declare(name, restype, *argtypes):
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
