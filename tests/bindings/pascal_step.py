# SPDX-License-Identifier: MIT
"""The Pascal unit as the zip ships it (with its QuorilSizes.inc), built by fpc with hints and
warnings as errors in each language mode it supports, and the test program, linked against the
release tree's libquoril.so, over every scratch tree:
   pascal_step.py WORK TREES UNIT_FOLDER LIBRARY_FOLDER
"""

import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from steps import fresh, need, over_trees, run

HERE = os.path.dirname(os.path.abspath(__file__))
MODES = ("delphi", "delphiunicode", "objfpc")


def main(work, trees, unit_folder, library_folder):
    need("fpc")
    fresh(work)
    for mode in MODES:
        # The unit takes the mode given on the command line; the program sets its own.
        units = fresh(os.path.join(work, mode))
        run("fpc", "-v0", "-M" + mode, "-Sew", "-Seh", "-FU" + units, "-Fu" + unit_folder,
            "-Fl" + library_folder, "-o" + os.path.join(units, "quoril_test"),
            os.path.join(HERE, "quoril_test.pas"))
    over_trees(trees, os.path.join(work, MODES[0], "quoril_test"),
               env={"LD_LIBRARY_PATH": library_folder})
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
