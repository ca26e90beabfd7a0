# SPDX-License-Identifier: MIT
"""What the bindings' test steps share: a missing tool fails the step and says which (make deps
installs them all), a failed command fails it naming the command, and each test program runs
once for each tree of the answers table, QUORIL_SYSFS_ROOT pointing at it."""

import os
import shutil
import subprocess
import sys


def need(*programs):
    for program in programs:
        if shutil.which(program) is None:
            sys.exit("%s is not installed: make deps as root installs it (cmake/install-deps.sh, "
                     "its bindings group)" % program)


def run(*command, cwd=None, env=None, capture=False, input=None):
    result = subprocess.run(command, cwd=cwd, env=None if env is None else {**os.environ, **env},
                            stdout=subprocess.PIPE if capture else None, input=input, text=True)
    if result.returncode != 0:
        sys.exit("failed (%d): %s" % (result.returncode, " ".join(map(str, command))))
    return result.stdout


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def over_trees(trees, *command, env=None, cwd=None):
    answers = os.path.join(trees, "answers.tsv")
    with open(answers, encoding="utf-8") as table:
        names = dict.fromkeys(line.split("\t", 1)[0] for line in table if line.strip())
    for name in names:
        run(*command, answers, name, cwd=cwd,
            env={**(env or {}), "QUORIL_SYSFS_ROOT": os.path.join(trees, name)})
