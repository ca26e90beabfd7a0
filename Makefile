# The project's commands. Each installs what it needs first (as root on Debian), so both work on
# a fresh machine: `make run` and `make test`.
CTEST_JOBS ?= 2

.PHONY: all deps dll win32 win64 dist run test test-native test-release test-clang test-win32 \
        test-win64 test-kit test-wine clean

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
# carry the Linux library too: Quoril.<version>.nupkg and a Python wheel for each library.
dist: win32 win64
	cmake --preset release
	cmake --build --preset release --target quoril
	cmake -S dist -B build/dist -G Ninja
	cmake --build build/dist

# The host tool against the real DLLs under Wine, printing every answer: the 64-bit DLL's
# everywhere, the 32-bit DLL's where 32-bit programs run natively.
run: win32 win64
	@cmake/run-report.sh

# Every test: native (with sanitizers), optimised (the host tool, also in an emulated PC, and the
# installed product used by C hosts), native built by clang (the fuzz targets under libFuzzer),
# then for each Windows flavour the DLL's own tables and host tool, and the unit and integration
# tests built for Windows, run under Wine; last the development kit, as its users build with it.
# Tests that cannot run on this machine are listed with the reason. A failing part does not stop
# the others.
test: deps
	@status=0; for part in test-native test-release test-clang test-win64 test-win32 test-kit; do \
	  $(MAKE) --no-print-directory QUORIL_DEPS_CHECKED=1 $$part || status=1; \
	done; exit $$status

test-native: deps
	cmake --preset native
	cmake --build --preset native
	ctest --preset native -j $(CTEST_JOBS)

# The optimised build without sanitizers: the host tool's tests, the tool inside an emulated PC
# where QEMU, a kernel and busybox are installed, and the installed product in a scratch prefix.
test-release: deps
	cmake --preset release
	cmake --build --preset release
	ctest --preset release -j $(CTEST_JOBS)

# The native tree built by clang, warnings as errors and both sanitizers: every test, and each
# fuzz target run by libFuzzer for a fixed number of runs.
test-clang: deps
	cmake --preset clang
	cmake --build --preset clang
	ctest --preset clang -j $(CTEST_JOBS)

test-win32: win32
	cmake --preset win32-test
	cmake --build --preset win32-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win32

test-win64: win64
	cmake --preset win64-test
	cmake --build --preset win64-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win64

# The kit's zip and checksum, and programs built against the unpacked kit with MinGW and for the
# MSVC ABI, for both architectures, run under Wine. Skipped, and said so, where install-deps could
# not install the kit's tools.
test-kit: deps
	@missing=$$(sed -n 's/^kit=missing: //p' build/deps-status 2>/dev/null); \
	if [ -n "$$missing" ]; then \
	  echo "test-kit: SKIPPED the development kit and its tests: $$missing not installed" \
	       "(see build/deps-status)" >&2; \
	else \
	  $(MAKE) --no-print-directory QUORIL_DEPS_CHECKED=1 dist && \
	  CTEST_JOBS=$(CTEST_JOBS) cmake/run-kit-tests.sh; \
	fi

# The Windows tests under Wine even where 32-bit programs run only under emulation (slow).
test-wine: dist
	cmake --preset win32-test
	cmake --build --preset win32-test
	cmake --preset win64-test
	cmake --build --preset win64-test
	status=0; \
	  CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win64 || status=1; \
	  CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh win32 --all || status=1; \
	  CTEST_JOBS=$(CTEST_JOBS) cmake/run-kit-tests.sh --all || status=1; \
	  exit $$status

clean:
	rm -rf build
