# Tolvane: `make run` and `make test` do all the set-up on a fresh Debian 12.
.PHONY: all deps build run test test-release test-asan bench clean

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

bench: build
	@./bench/run.sh

clean:
	rm -rf build
