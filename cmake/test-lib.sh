# SPDX-License-Identifier: MIT
# Sourced by the scripts that run a part of `make test`, from the top of the repository. Every
# run of CTest leaves its results in build/test-results/NAME.xml (JUnit), and every test that is
# not run here is recorded in build/test-results/skipped.txt with the reason; at the end of
# `make test` cmake/test_summary.py counts both. A test that skips itself says "SKIPPED: REASON";
# where installing packages would let it run, the reason says "make deps" (CI does not accept
# such skips).

results=build/test-results
mkdir -p "$results"

# run_ctest NAME TREE [CTEST ARGUMENT...]: runs the tests of the build tree TREE that the
# arguments select. A Windows program under Wine reports its cases in TREE/gtest-results; the
# reports of this run are kept beside its results, in NAME.gtest.
run_ctest() {
  ctest_name=$1
  ctest_tree=$2
  shift 2
  rm -rf "$ctest_tree/gtest-results" "$results/$ctest_name.gtest"
  ctest_status=0
  ctest --test-dir "$ctest_tree" --output-on-failure \
    --output-junit "$PWD/$results/$ctest_name.xml" -j "${CTEST_JOBS:-2}" "$@" || ctest_status=$?
  if [ -d "$ctest_tree/gtest-results" ]; then
    mv "$ctest_tree/gtest-results" "$results/$ctest_name.gtest"
  fi
  return "$ctest_status"
}

# record_skips TREE INSTALLABLE REASON [CTEST ARGUMENT...]: records the tests of TREE that the
# arguments select as skipped, and says so. INSTALLABLE is yes when installing packages would let
# them run here (a skip CI does not accept), no when nothing would.
record_skips() {
  skip_tree=$1
  skip_installable=$2
  skip_reason=$3
  shift 3
  echo "================================================================================"
  echo "SKIPPED in $skip_tree: $skip_reason"
  ctest --test-dir "$skip_tree" -N "$@" | sed -n 's/^ *Test *#[0-9]*: *//p' | while read -r test; do
    echo "  skipped: $test"
    printf '%s\t%s\t%s\n' "${skip_tree#build/}/$test" "$skip_installable" "$skip_reason" >>"$results/skipped.txt"
  done
  echo "================================================================================"
}

# wine_decision TREE: the decision of cmake/QuorilWine.cmake, as that tree was configured with it.
wine_decision() {
  if [ ! -f "$1/wine.env" ]; then
    echo "$1 has not been configured" >&2
    return 1
  fi
  . "$1/wine.env"
}
