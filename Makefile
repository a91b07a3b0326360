# The two set-up commands on a fresh Debian 12 machine (as root): `make run` and `make test`.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
TSAN_DIR := build/tsan
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
CMAKE_COMMON := -G Ninja -Wno-dev

.PHONY: deps build test tsan bench fuzz run clean

deps:
	@bash scripts/install-deps.sh

$(RELEASE_DIR)/build.ninja:
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_TESTS=OFF

build: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

$(TEST_DIR)/build.ninja:
	cmake -S . -B $(TEST_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORLIX_SANITIZE=address,undefined -DVORLIX_BENCH=OFF

# Every test, with AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

$(TSAN_DIR)/build.ninja:
	cmake -S . -B $(TSAN_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORLIX_SANITIZE=thread -DVORLIX_BENCH=OFF

# The concurrency tests under ThreadSanitizer.
tsan: deps $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) -j $(JOBS) --target concurrency_tests
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -L tsan -j $(JOBS)

bench: build
	@bash bench/run.sh $(RELEASE_DIR)

$(FUZZ_DIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORLIX_FUZZ=ON -DVORLIX_APP=OFF -DVORLIX_TESTS=OFF -DVORLIX_BENCH=OFF

# Each fuzz target for FUZZ_SECONDS seconds, starting from the real agent payloads.
fuzz: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Starts the application; without a display it runs headless.
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "No display: starting VorlixAgents --headless (Ctrl-C to stop)"; \
		exec $(RELEASE_DIR)/bin/VorlixAgents --headless; \
	else \
		exec $(RELEASE_DIR)/bin/VorlixAgents; \
	fi

clean:
	rm -rf build
