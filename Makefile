# Two entry points: `make run` builds and runs vindle, `make test` builds and
# runs the whole test suite. Both install missing Debian packages when run as
# root: `make run` only what building vindle needs, `make test` the rest
# (scripts/install-deps).
BUILD ?= build
CMAKE_FLAGS ?=
# `make test` also runs the suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and each libFuzzer target for a short while.
ASAN_BUILD ?= build-asan
# ... and the unit tests built with ThreadSanitizer: the /proc layer reads a
# large table on several threads.
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 10
# ctest runs this many tests at once; their verdicts do not depend on load,
# and the few that must run alone say so themselves.
CTEST_JOBS ?= 2
# The FreeBSD cross-build: a FreeBSD 13.5 base system, a directory or the
# .tar.xz of one. Without it, the one beside the clone's parent directory is
# used when it is there, and the check is skipped when it is not.
FREEBSD_BUILD ?= build-freebsd
FREEBSD_SYSROOT ?=
FREEBSD_DEFAULT_SYSROOT = ../shared/freebsd/freebsd-13.5-amd64-sysroot.tar.xz
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: all deps deps-build deps-package configure build run test test-plain test-sanitized \
	test-tsan test-fuzz test-freebsd package package-debian clean

all: build

deps-build:
	./scripts/install-deps build

deps-package:
	./scripts/install-deps package

deps:
	./scripts/install-deps test

# `make run` needs neither GoogleTest nor the tests, which are off unless
# asked for: `make test` switches them on in the same build directory.
run: deps-build
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target vindle
	$(BUILD)/vindle $(ARGS)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DVINDLE_BUILD_TESTS=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

# The Debian package made by cpack from the build directory, and the one that
# Debian's own tools build from debian/ (written to the parent directory).
# cpack needs what building vindle needs, and dpkg-shlibdeps to derive the
# package's dependencies.
package: deps-package
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)
	cd $(BUILD) && cpack -G DEB

package-debian: deps
	dpkg-buildpackage -us -uc -b

# The stages run in this order, and a failing one stops the rest; `make -k
# test` runs every stage whatever the others give.
test: test-plain test-sanitized test-tsan test-fuzz test-freebsd

# ctest shows nothing of a skipped test; scripts/skip-reasons then says why
# each was skipped, from ctest's log.
test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure --timeout 300 --parallel $(CTEST_JOBS)
	./scripts/skip-reasons $(BUILD)

# -O1 with line tables only builds three times faster than the default
# -O2 -g and still gives reports with file and line; assertions stay on.
# The unit tests run in CTEST_JOBS shards (tests/CMakeLists.txt), whose
# reports stay in $(ASAN_BUILD)/tests/unit-*.log.
test-sanitized: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVINDLE_SANITIZE=ON -DVINDLE_BUILD_TESTS=ON \
		-DVINDLE_UNIT_TEST_SHARDS=$(CTEST_JOBS) -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure --timeout 300 --parallel $(CTEST_JOBS)
	./scripts/skip-reasons $(ASAN_BUILD)

# Only the unit test binary: it holds every test of the layer that starts
# threads, and builds in a fraction of the whole tree's time. The *SlowTest
# suites (shapes of a million processes, on one thread) are left out. The
# tests run in CTEST_JOBS shards at once, as in the sanitizer stage; each
# shard's report stays in $(TSAN_BUILD)/tests/unit-shard-*.log, and a
# failing one shows it.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DVINDLE_SANITIZE=thread -DVINDLE_BUILD_TESTS=ON \
		-DVINDLE_UNIT_TEST_SHARDS=$(CTEST_JOBS) -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) --target vindle_unit_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir $(TSAN_BUILD) \
		-L unit -LE slow --output-on-failure --parallel $(CTEST_JOBS)

# Each fuzz target is a ctest test of the fuzz build (fuzz/CMakeLists.txt):
# new inputs go to the build directory, fuzz/corpus/ is only read.
test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVINDLE_FUZZ=ON -DVINDLE_BUILD_TESTS=OFF \
		-DVINDLE_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(FUZZ_BUILD) --target fuzz_targets
	ctest --test-dir $(FUZZ_BUILD) --output-on-failure --parallel $(CTEST_JOBS)
	grep -H '^Done' $(FUZZ_BUILD)/*_fuzz.log | sed 's|^$(FUZZ_BUILD)/\(.*\)\.log:|\1: |'

# vindle cross-built for FreeBSD 13.5 with clang and lld, warnings as errors,
# and checked: a FreeBSD executable, its libraries in the base system, the
# kernel-memory calls taken from libkvm (scripts/check-freebsd-build). It is
# built and linked here, not run.
test-freebsd: deps
	./scripts/check-freebsd-build $(FREEBSD_BUILD) \
		$(if $(FREEBSD_SYSROOT),$(FREEBSD_SYSROOT),--if-present $(FREEBSD_DEFAULT_SYSROOT))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(FREEBSD_BUILD)
	# What dpkg-buildpackage leaves in the tree: debhelper's work and obj-*/.
	! command -v dh >/dev/null || debian/rules clean
