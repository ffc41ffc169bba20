# Front door for building, testing and running. Every target installs what it needs first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)
FUZZ_SECONDS ?= 150

.PHONY: all deps configure build test test-sanitize test-asan test-tsan bench fuzz run screenshots format format-check clean

all: build

deps:
	@scripts/install-deps

# The benchmarks and probes are built here too (not run), so that a change that breaks one shows
# in `make test` and not only at the next `make bench`.
configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEBOOK_BUILD_BENCH=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) $(CTEST_FLAGS)

# Every test but the GUI's (core libraries, stress tests and the tool) under AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer. No test is left out: none measures memory or
# time in a way the sanitizers' bookkeeping would distort (the attack table's memory figures come
# from bench/hostile-load.py, not from tests).
test-sanitize: test-asan test-tsan

# The sanitizer, bench, fuzz and release builds are the presets of CMakePresets.json, which hold
# their settings (and the sanitizers' run-time options) in one place.
test-asan: deps
	cmake --preset asan $(CMAKE_FLAGS)
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan $(CTEST_FLAGS)

test-tsan: deps
	cmake --preset tsan $(CMAKE_FLAGS)
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan $(CTEST_FLAGS)

bench: deps
	cmake --preset bench $(CMAKE_FLAGS)
	cmake --build --preset bench -j $(JOBS)
	bench/run-all build-bench

fuzz: deps
	cmake --preset fuzz $(CMAKE_FLAGS)
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run-all build-fuzz $(FUZZ_SECONDS)

# Builds the bundled guide book, packs it with the viewer into one program and starts that program
# without arguments. Without a display it serves the guide over HTTP instead and prints the address.
run: build
	$(BUILD_DIR)/tools/ebook-pack build samples/guide -o $(BUILD_DIR)/guide-book --stub $(BUILD_DIR)/viewer/ebook
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  exec $(BUILD_DIR)/guide-book; \
	else \
	  echo "No display to show the viewer on (DISPLAY and WAYLAND_DISPLAY are unset):"; \
	  echo "serving the guide over HTTP instead; open the address below in a browser."; \
	  exec $(BUILD_DIR)/tools/ebook-pack serve $(BUILD_DIR)/guide-book; \
	fi

# The viewer's windows as PNG files under $(BUILD_DIR)/screenshots, on an X server of their own.
screenshots: build
	scripts/screenshots $(BUILD_DIR)

# The Debian package build-release/ebook-viewer_VERSION_ARCH.deb, built in Release and inspected by
# packaging/check-package. `packaging/check-deb-install DEB` proves it installs on a clean system.
.PHONY: package
package: deps
	cmake --preset release $(CMAKE_FLAGS)
	cmake --build --preset release -j $(JOBS) --target check-package

# The one-file viewer $(BUILD_DIR)/ebook-portable, for machines where nothing is installed: a static
# launcher followed by the viewer's runtime, gathered from this build and the distribution and
# compressed (minutes: zstd -19; a new launcher alone is only joined). Also the stub of self-contained books (`ebook-pack build --portable`).
.PHONY: portable
portable: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target portable

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the files, when a source file does not match .clang-format.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-bench build-fuzz build-release
