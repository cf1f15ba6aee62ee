# Tolvane: `make run` and `make test` do all the set-up on a fresh Debian 12.
.PHONY: all build run test test-release test-asan test-windows windows bench fuzz install clean

JOBS ?= 2
# Packages are checked once per build folder; scripts/deps.sh is the list.
STAMPS := build/.deps

all: build

$(STAMPS)/run: scripts/deps.sh
	@./scripts/deps.sh
	@mkdir -p $(STAMPS) && touch $@

$(STAMPS)/test: scripts/deps.sh
	@./scripts/deps.sh --test
	@mkdir -p $(STAMPS) && touch $@

# The program alone: what a first `make run` compiles.
build: $(STAMPS)/run
	@cmake --preset release >/dev/null
	cmake --build build/release -j$(JOBS) --target tolvane
	@ln -sfn release/tolvane build/tolvane
	@echo "built build/tolvane"

run: build
	@./scripts/run.sh

# The program, its desktop entry, icons, AppStream metadata and man page,
# under PREFIX; through sudo when PREFIX is not ours to write.
PREFIX ?= /usr/local
install: $(STAMPS)/run
	@cmake --preset release >/dev/null
	cmake --build build/release -j$(JOBS) --target tolvane tolvane_icons
	@if [ "$$(id -u)" -eq 0 ] || { mkdir -p "$(PREFIX)" 2>/dev/null && [ -w "$(PREFIX)" ]; }; then \
	  cmake --install build/release --prefix "$(PREFIX)"; \
	else \
	  sudo cmake --install build/release --prefix "$(PREFIX)"; \
	fi

test: test-release test-asan test-windows

test-release: $(STAMPS)/test
	cmake --preset release
	cmake --build build/release -j$(JOBS)
	@ln -sfn release/tolvane build/tolvane
	ctest --preset release -j1

test-asan: $(STAMPS)/test
	cmake --preset asan
	cmake --build build/asan -j$(JOBS)
	ctest --preset asan -j1 -LE e2e

# The Windows build (mingw-w64), and its unit tests under Wine in a fresh
# Wine prefix of their own (build/windows/wine).
windows: $(STAMPS)/test
	cmake --preset windows
	cmake --build build/windows -j$(JOBS) --target tolvane
	@echo "built build/windows/tolvane.exe"

test-windows: $(STAMPS)/test
	cmake --preset windows
	cmake --build build/windows -j$(JOBS)
	./scripts/wine_prefix.sh build/windows/wine ctest --preset windows -j1

# A long run of the random-event test under the sanitizers; FUZZ_RUNS runs
# of FUZZ_EVENTS events each, from run FUZZ_FIRST.
FUZZ_RUNS ?= 20000
FUZZ_EVENTS ?= 200
FUZZ_FIRST ?= 1
fuzz: $(STAMPS)/test
	cmake --preset asan
	cmake --build build/asan -j$(JOBS) --target tolvane_unit_tests
	TOLVANE_FUZZ_RUNS=$(FUZZ_RUNS) TOLVANE_FUZZ_EVENTS=$(FUZZ_EVENTS) TOLVANE_FUZZ_FIRST=$(FUZZ_FIRST) \
	  build/asan/tests/tolvane_unit_tests --gtest_filter='EventFuzz.*'

bench: $(STAMPS)/test
	@./bench/run.sh

clean:
	rm -rf build
