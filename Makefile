# SPDX-License-Identifier: GPL-3.0-or-later
# Thin wrappers: install what is missing, configure, build in build/, then act.
BUILD_DIR ?= build
SAN_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
PACKAGE_DIR ?= build-package
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench package test-sanitize fuzz check-size clean format

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Builds only what it runs: the window, not the tests.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target orvik-decoder
	$(BUILD_DIR)/orvik-decoder

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks -j $(JOBS)
	QT_QPA_PLATFORM=offscreen scripts/run-benchmarks $(BUILD_DIR)

# A release build of the two programs alone, then the Debian package and the portable
# tarball beside it in $(PACKAGE_DIR).
package: deps
	cmake -S . -B $(PACKAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVIK_BUILD_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack
	@ls -l $(PACKAGE_DIR)/*.deb $(PACKAGE_DIR)/*.tar.gz

test-sanitize:
	@scripts/install-deps --sanitize
	cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVIK_SANITIZE=ON \
	    -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	    ctest --output-on-failure -j $(JOBS)

fuzz:
	@scripts/install-deps --fuzz
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVIK_FUZZ=ON \
	    -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_DIR) --target fuzzers -j $(JOBS)
	scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# No source file over 400 lines, no function over 80 lines outside the tables of test rows.
check-size: configure
	@scripts/install-deps --check
	scripts/check-size $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR) $(PACKAGE_DIR)
