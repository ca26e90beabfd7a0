#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs one build tree's tests with CTest, its results kept for the count at the end of
# `make test` (see cmake/test-lib.sh).
#   run-ctest.sh NAME TREE [CTEST ARGUMENT...]
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/test-lib.sh
run_ctest "$@"
