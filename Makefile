# Tolvane: `make run` and `make test` do all the set-up on a fresh Debian 12.
.PHONY: all deps build run test test-release test-asan bench fuzz clean

JOBS ?= 2

all: build

deps:
	@./scripts/deps.sh

build/release/CMakeCache.txt:
	cmake --preset release

build: deps build/release/CMakeCache.txt
	cmake --build build/release -j$(JOBS)
	@ln -sfn release/tolvane build/tolvane
	@echo "built build/tolvane"

run: build
	@./scripts/run.sh

test: deps test-release test-asan

test-release: build
	ctest --preset release -j1

test-asan: deps
	cmake --preset asan
	cmake --build build/asan -j$(JOBS)
	ctest --preset asan -j1 -LE e2e

# A long run of the random-event test under the sanitizers; FUZZ_RUNS runs
# of FUZZ_EVENTS events each, from run FUZZ_FIRST.
FUZZ_RUNS ?= 20000
FUZZ_EVENTS ?= 200
FUZZ_FIRST ?= 1
fuzz: deps
	cmake --preset asan
	cmake --build build/asan -j$(JOBS) --target tolvane_unit_tests
	TOLVANE_FUZZ_RUNS=$(FUZZ_RUNS) TOLVANE_FUZZ_EVENTS=$(FUZZ_EVENTS) TOLVANE_FUZZ_FIRST=$(FUZZ_FIRST) \
	  build/asan/tests/tolvane_unit_tests --gtest_filter='EventFuzz.*'

bench: build
	@./bench/run.sh

clean:
	rm -rf build
