# The two set-up commands on a fresh Debian 12 machine (as root): `make run` and `make test`. Building and
# installing need only the build packages (deps); the tests, benchmarks and fuzzing add their tools (test-deps).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
TSAN_DIR := build/tsan
FUZZ_DIR := build/fuzz
NOGUI_DIR := build/nogui
PLAIN_DIR := build/plain-release
DEB_DIR := build/deb
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
CMAKE_COMMON := -G Ninja -Wno-dev

.PHONY: deps test-deps build test tsan bench fuzz run clean format-check other-builds ci install deb

deps:
	@bash scripts/install-deps.sh

test-deps:
	@bash scripts/install-deps.sh --test

$(RELEASE_DIR)/build.ninja:
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_TESTS=OFF

build: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

$(TEST_DIR)/build.ninja:
	cmake -S . -B $(TEST_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORLIX_SANITIZE=address,undefined -DVORLIX_BENCH=OFF \
		-DVORLIX_WERROR=ON

# Every test, with AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

$(TSAN_DIR)/build.ninja:
	cmake -S . -B $(TSAN_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORLIX_SANITIZE=thread -DVORLIX_BENCH=OFF \
		-DVORLIX_WERROR=ON

# The concurrency tests under ThreadSanitizer.
tsan: test-deps $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) -j $(JOBS) --target concurrency_tests
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -L tsan -j $(JOBS)

bench: test-deps build
	@bash bench/run.sh $(RELEASE_DIR)

$(FUZZ_DIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORLIX_FUZZ=ON -DVORLIX_APP=OFF -DVORLIX_TESTS=OFF -DVORLIX_BENCH=OFF

# Each fuzz target for FUZZ_SECONDS seconds, starting from the real agent payloads.
fuzz: test-deps $(FUZZ_DIR)/build.ninja
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

# Installs both programs, the menu entry, the icons and the metainfo under PREFIX (DESTDIR is honoured). Needs
# root only for a PREFIX the user cannot write, or to install missing build packages.
install: build
	cmake --install $(RELEASE_DIR) --prefix $(PREFIX)

# A Debian package, build/deb/vorlix-agents_<version>_<arch>.deb, from a Release build.
deb: deps
	cmake -S . -B $(DEB_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DVORLIX_TESTS=OFF -DVORLIX_BENCH=OFF
	cmake --build $(DEB_DIR) -j $(JOBS)
	cd $(DEB_DIR) && cpack -G DEB
	@ls -1 $(DEB_DIR)/vorlix-agents_*.deb

# Sources formatted with the repository's .clang-format.
format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# What a packager runs (a plain Release build, warnings not errors) and the build without any desktop code,
# which proves the engine needs no Qt Gui.
other-builds: test-deps
	cmake -S . -B $(PLAIN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(PLAIN_DIR) -j $(JOBS)
	cmake -S . -B $(NOGUI_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORLIX_GUI=OFF -DVORLIX_WERROR=ON -DVORLIX_BENCH=OFF
	cmake --build $(NOGUI_DIR) -j $(JOBS)
	@if ldd $(NOGUI_DIR)/bin/VorlixAgents | grep -E 'libQt6(Gui|Widgets|Multimedia|DBus)'; then \
		echo "the VORLIX_GUI=OFF build links Qt Gui" >&2; exit 1; fi

# What CI runs: every test, then the format check and the other two builds.
ci: test format-check other-builds

clean:
	rm -rf build
