# SPDX-License-Identifier: MIT
# The project's commands. Each installs what it needs first (as root on Debian), so both work on
# a fresh machine: `make run` and `make test`.
CTEST_JOBS ?= 2

.PHONY: all deps dll win32 win64 dist run test test-native test-release test-clang test-win32 \
        test-win64 test-kit test-guest clean

all: dll

# Sub-makes started by `test` find the dependencies already checked.
deps:
	@[ -n "$(QUORIL_DEPS_CHECKED)" ] || sh cmake/install-deps.sh

# build/win32/quoril.dll and build/win64/quoril.dll alone.
dll: deps
	cmake --preset win32
	cmake --build --preset win32 --target quoril
	cmake --preset win64
	cmake --build --preset win64 --target quoril

# Each DLL with its host tool.
win32: deps
	cmake --preset win32
	cmake --build --preset win32

win64: deps
	cmake --preset win64
	cmake --build --preset win64

# The Windows development kit, from both flavours' builds: build/dist/quoril-<version>-windows.zip
# (both DLLs and host tools, the header, import libraries for MSVC and MinGW, a CMake package,
# the language bindings) and its .sha256 beside it; beside them the bindings' packages, which
# carry the Linux library too: Quoril.<version>.nupkg and a Python wheel for each library; the
# Linux library itself; last SHA256SUMS, listing all of them and every file in the zip. The same
# commit gives the same bytes (the time they carry is the commit's, or SOURCE_DATE_EPOCH).
# With a certificate the DLLs and host tools are signed (Authenticode, SHA-256) before anything
# packs them: QUORIL_SIGN_PKCS12=FILE, QUORIL_SIGN_PASSWORD_FILE=FILE (its first line is the
# password) and, for a counter-signature, QUORIL_SIGN_TIMESTAMP_URL=URL (RFC 3161).
# The packages' tools record local times and the files' permissions, so the Linux library and
# everything in build/dist are made with one time zone, umask and locale whoever builds them.
DIST_ENV = umask 022 && TZ=UTC LC_ALL=C
dist: win32 win64
	cmake --preset release
	$(DIST_ENV) cmake --build --preset release --target quoril
	chmod 755 build/release/libquoril.so.*.*.*
	cmake -S dist -B build/dist -G Ninja \
	  "-DQUORIL_SIGN_PKCS12:FILEPATH=$(QUORIL_SIGN_PKCS12)" \
	  "-DQUORIL_SIGN_PASSWORD_FILE:FILEPATH=$(QUORIL_SIGN_PASSWORD_FILE)" \
	  "-DQUORIL_SIGN_TIMESTAMP_URL=$(QUORIL_SIGN_TIMESTAMP_URL)"
	$(DIST_ENV) cmake --build build/dist
	$(DIST_ENV) cmake --build build/dist --target checksums

# The host tool against the real DLLs under Wine, printing every answer: the 32-bit DLL's in the
# emulated PC where this machine runs no 32-bit programs itself.
run: win32 win64
	@cmake/run-report.sh

# Every test: native (with sanitizers), optimised (the host tool, also in the emulated PC, and the
# installed product used by C hosts), native built by clang (the fuzz targets under libFuzzer),
# then for each Windows flavour the DLL's own tables and host tool, and the unit and integration
# tests built for Windows, run under Wine; the development kit, as its users build with it; last
# the emulated PC, for what needs it (test-guest). A failing part does not stop the others. The
# last line counts the passed, failed and skipped tests over every part; with CI=true a skip of a
# test that installing packages would let run here fails the run.
PARTS = test-native test-release test-clang test-win64 test-win32 test-kit test-guest

test: deps
	@rm -rf build/test-results; failed=""; for part in $(PARTS); do \
	  $(MAKE) --no-print-directory QUORIL_DEPS_CHECKED=1 $$part || failed="$$failed $$part"; \
	done; /usr/bin/python3 cmake/test_summary.py build/test-results $$failed

test-native: deps
	cmake --preset native
	cmake --build --preset native
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-ctest.sh native build/native

# The optimised build without sanitizers: the host tool's tests, the tool inside the emulated PC
# and the installed product in a scratch prefix. Its checks labelled guest run in test-guest's
# boot of the emulated PC.
test-release: deps
	cmake --preset release
	cmake --build --preset release
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-ctest.sh release build/release -LE '^guest$$'

# The native tree built by clang, warnings as errors and both sanitizers: every test, and each
# fuzz target run by libFuzzer for a fixed number of runs.
test-clang: deps
	cmake --preset clang
	cmake --build --preset clang
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-ctest.sh clang build/clang

test-win32: win32
	cmake --preset win32-test
	cmake --build --preset win32-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win32

test-win64: win64
	cmake --preset win64-test
	cmake --build --preset win64-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win64

# The kit's zip and checksum, and programs built against the unpacked kit with MinGW and for the
# MSVC ABI, for both architectures, run under Wine.
test-kit: dist
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-kit-tests.sh

# One boot of the emulated PC: both DLLs' pass-through channel against its real optical drives,
# and every 32-bit test under Wine where this machine cannot run them itself.
test-guest: win32 win64
	cmake --preset win32-test
	cmake --build --preset win32-test
	cmake --preset win64-test
	cmake --build --preset win64-test
	cmake --preset release
	cmake --build --preset release --target quoril-info
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-guest-tests.sh

clean:
	rm -rf build
