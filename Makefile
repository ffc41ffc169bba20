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

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) $(CTEST_FLAGS)

# Every test but the GUI's (core libraries, stress tests and the tool) under AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer. No test is left out: none measures memory or
# time in a way the sanitizers' bookkeeping would distort (the attack table's memory figures come
# from bench/hostile-load.py, not from tests).
test-sanitize: test-asan test-tsan

test-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEBOOK_BUILD_GUI=OFF \
	  -DEBOOK_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan $(CTEST_FLAGS)

test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEBOOK_BUILD_GUI=OFF \
	  -DEBOOK_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir build-tsan $(CTEST_FLAGS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DEBOOK_BUILD_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build build-bench -j $(JOBS)
	bench/run-all build-bench

fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEBOOK_BUILD_GUI=OFF \
	  -DEBOOK_BUILD_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j $(JOBS)
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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the files, when a source file does not match .clang-format.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-bench build-fuzz
