# Tolvane: `make run` and `make test` do all the set-up on a fresh Debian 12.
.PHONY: all build run test test-release test-asan test-windows windows bench fuzz install clean fresh-check

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

# Configures build/release for the program alone (no tests, so no test
# package is needed even where GoogleTest is installed); cmake's output is
# shown when it fails, so a missing package is named.
CONFIGURE_PROGRAM = @mkdir -p build && cmake --preset release -DTOLVANE_TESTS=OFF >build/configure.log 2>&1 \
	|| { cat build/configure.log >&2; echo "cmake failed; the whole output is in build/configure.log" >&2; exit 1; }

# The program alone: what a first `make run` compiles.
build: $(STAMPS)/run
	$(CONFIGURE_PROGRAM)
	cmake --build build/release -j$(JOBS) --target tolvane
	@ln -sfn release/tolvane build/tolvane
	@echo "built build/tolvane"

run: build
	@./scripts/run.sh

# The program, its desktop entry, icons, AppStream metadata and man page,
# under PREFIX; through sudo when PREFIX is not ours to write.
PREFIX ?= /usr/local
install: $(STAMPS)/run
	$(CONFIGURE_PROGRAM)
	cmake --build build/release -j$(JOBS) --target tolvane tolvane_icons
	@if [ "$$(id -u)" -eq 0 ] || { mkdir -p "$(PREFIX)" 2>/dev/null && [ -w "$(PREFIX)" ]; }; then \
	  cmake --install build/release --prefix "$(PREFIX)"; \
	else \
	  sudo cmake --install build/release --prefix "$(PREFIX)"; \
	fi

test: test-release test-asan test-windows

test-release: $(STAMPS)/test
	cmake --preset release -DTOLVANE_TESTS=ON
	cmake --build build/release -j$(JOBS)
	@ln -sfn release/tolvane build/tolvane
	ctest --preset release -j1

test-asan: $(STAMPS)/test
	cmake --preset asan -DTOLVANE_TESTS=ON
	cmake --build build/asan -j$(JOBS)
	ctest --preset asan -j1 -LE e2e

# The Windows build (mingw-w64), and its unit tests under Wine in a fresh
# Wine prefix of their own (build/windows/wine).
windows: $(STAMPS)/test
	cmake --preset windows
	cmake --build build/windows -j$(JOBS) --target tolvane
	@echo "built build/windows/tolvane.exe"

test-windows: $(STAMPS)/test
	cmake --preset windows -DTOLVANE_TESTS=ON
	cmake --build build/windows -j$(JOBS)
	./scripts/wine_prefix.sh build/windows/wine ctest --preset windows -j1

# A long run of the random-event test under the sanitizers; FUZZ_RUNS runs
# of FUZZ_EVENTS events each, from run FUZZ_FIRST.
FUZZ_RUNS ?= 20000
FUZZ_EVENTS ?= 200
FUZZ_FIRST ?= 1
fuzz: $(STAMPS)/test
	cmake --preset asan -DTOLVANE_TESTS=ON
	cmake --build build/asan -j$(JOBS) --target tolvane_unit_tests
	TOLVANE_FUZZ_RUNS=$(FUZZ_RUNS) TOLVANE_FUZZ_EVENTS=$(FUZZ_EVENTS) TOLVANE_FUZZ_FIRST=$(FUZZ_FIRST) \
	  build/asan/tests/tolvane_unit_tests --gtest_filter='EventFuzz.*'

bench: $(STAMPS)/test
	@./bench/run.sh

# `make run` (and with FRESH_TEST=1 `make test` too) on a pristine Debian 12
# root with a fresh machine's packages, from a clone of the committed REF
# (default HEAD); needs root. See scripts/fresh_check.sh.
REF ?= HEAD
fresh-check:
	./scripts/fresh_check.sh $(if $(filter 1,$(FRESH_TEST)),--test) $(REF)

clean:
	rm -rf build
