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

# One rule configures and builds each preset's tree: build-native, build-win32-test and so on.
build-%: deps
	cmake --preset $*
	cmake --build --preset $*

# build/win32/quoril.dll and build/win64/quoril.dll alone.
dll: deps
	cmake --preset win32
	cmake --build --preset win32 --target quoril
	cmake --preset win64
	cmake --build --preset win64 --target quoril

# Each DLL with its host tool.
win32 win64: %: build-%

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
dist: build-win32 build-win64
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
run: build-win32 build-win64
	@/usr/bin/python3 tests/harness/emulated_pc.py report

# Every test, each part one run of CTest on one or two build trees (their test presets): native
# (with sanitizers); optimised (the host tool, and the installed product used by C hosts); native
# built by clang (the fuzz targets under libFuzzer); for each Windows flavour the DLL's own tables
# and host tool, and the unit and integration tests built for Windows, under Wine where this
# machine runs that flavour's programs; the development kit, as its users build with it; last one
# boot of the emulated PC, for what needs it. A failing part does not stop the others. The last
# line counts the passed, failed and skipped tests over every part (tests/harness/summary.py);
# with CI=true a skip of a test that installing packages would let run here fails the run.
# docs/testing.md says what runs where.
PARTS = test-native test-release test-clang test-win64 test-win32 test-kit test-guest
CTEST = ctest -j $(CTEST_JOBS)

test: deps
	@rm -rf build/test-results; failed=""; for part in $(PARTS); do \
	  $(MAKE) --no-print-directory QUORIL_DEPS_CHECKED=1 $$part || failed="$$failed $$part"; \
	done; /usr/bin/python3 tests/harness/summary.py $$failed

test-native test-release test-clang: test-%: build-%
	$(CTEST) --preset $*

test-win32 test-win64: test-%: build-% build-%-test
	status=0; for preset in $* $*-test; do $(CTEST) --preset $$preset || status=1; done; \
	/usr/bin/python3 tests/harness/windows.py --stop; exit $$status

# The kit's tree is dist/'s own project, configured by make dist, outside the presets.
test-kit: dist
	$(CTEST) --test-dir build/dist --output-on-failure --output-junit "$(CURDIR)/build/test-results/dist.xml"; \
	status=$$?; /usr/bin/python3 tests/harness/windows.py --stop; exit $$status

test-guest: build-win32 build-win64 build-win32-test build-win64-test build-release
	$(CTEST) --preset guest

clean:
	rm -rf build
