# The project's commands. Each installs what it needs first (as root on Debian), so both work on
# a fresh machine: `make run` and `make test`.
CTEST_JOBS ?= 2

.PHONY: all deps dll win32 run test test-native test-release test-win32 test-wine clean

all: dll

deps:
	@sh cmake/install-deps.sh

# build/win32/quoril.dll alone.
dll: deps
	cmake --preset win32
	cmake --build --preset win32 --target quoril

# The DLL and the host tool.
win32: deps
	cmake --preset win32
	cmake --build --preset win32

# The host tool against the real DLL under Wine, printing every answer.
run: win32
	status=0; cmake/wine-run.sh build/win32/quoril-info.exe || status=$$?; \
	  cmake/wine-run.sh --stop; exit $$status

# Every test: native (with sanitizers), optimised (the host tool, also in an emulated PC), the
# DLL's own tables and host tool, then the unit and integration tests built for Windows, run
# under Wine.
test: test-native test-release test-win32

test-native: deps
	cmake --preset native
	cmake --build --preset native
	ctest --preset native -j $(CTEST_JOBS)

# The optimised build without sanitizers: the host tool's tests, and the tool inside an emulated
# PC where QEMU, a kernel and busybox are installed.
test-release: deps
	cmake --preset release
	cmake --build --preset release
	ctest --preset release -j $(CTEST_JOBS)

test-win32: win32
	cmake --preset win32-test
	cmake --build --preset win32-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh

# The Windows tests under Wine even where 32-bit programs run only under emulation (slow).
test-wine: win32
	cmake --preset win32-test
	cmake --build --preset win32-test
	CTEST_JOBS=$(CTEST_JOBS) cmake/run-windows-tests.sh --all

clean:
	rm -rf build
