#!/usr/bin/env bash
# Exec to the veil on a private headless sway at 1920x1080, this build against
# an older one, their runs taken in turn. Run by hand, never by make test.
#   bench/sway_veil.sh BEFORE_PROGRAM [RUNS]
# The veil is seen by polling one pixel with grim every 2 ms (each look is a
# grim process and a screen copy, so a time carries a few ms of looking); the
# hand-over is when the capture stage is loaded and the first stage has let
# its copies of the outputs go (/proc/PID/maps, polled every millisecond).
set -euo pipefail
cd "$(dirname "$0")/.."
BEFORE="$(realpath "${1:?usage: bench/sway_veil.sh BEFORE_PROGRAM [RUNS]}")"
RUNS="${2:-7}"
cmake --preset release -DTOLVANE_BENCH=ON >/dev/null
cmake --build build/release -j2 --target tolvane tolvane_capture tolvane_bench_wayland
mkdir -p bench/out
build/release/tests/e2e/wayland/tolvane_bench_wayland --veil "$RUNS" "before=$BEFORE" \
  "after=$(pwd)/build/release/tolvane" | tee bench/out/sway_veil.md
