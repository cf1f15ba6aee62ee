#!/usr/bin/env bash
# Benchmarks, run by hand (make bench). Not part of make test.
#   bench/run.sh [RUNS]      RUNS: whole-process runs per tool and size (default 7)
# 1. In-process: the drag step at 4K against the full repaint, history costs,
#    the PNG writer against Qt's.
# 2. Whole process under Xvfb, side by side with Flameshot, with the shared
#    anchors harness: exec to veil, peak memory, copy latency, exact pixels,
#    and the ratios to Flameshot (bench/ratios.py).
# 3. Whole process on a headless sway next to Xvfb: exec to veil, copy latency;
#    slurp's overlay on the same sway; then, on one sway, the program by
#    wlr-screencopy and through the Screenshot portal next to Flameshot.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS="${1:-7}"
ANCHORS="$(cd .. && pwd)/shared/anchors"
OUT="$(pwd)/bench/out"
mkdir -p "$OUT"

./scripts/deps.sh --bench
cmake --preset release -DTOLVANE_BENCH=ON -DTOLVANE_TESTS=ON >/dev/null
cmake --build build/release -j2 --target tolvane tolvane_bench tolvane_bench_png tolvane_bench_text
ln -sfn release/tolvane build/tolvane

for size in 1920x1080 3840x2160; do
  [ -f "$OUT/bg_$size.ppm" ] || /usr/bin/python3 "$ANCHORS/gen_bg.py" "${size%x*}" "${size#*x}" "$OUT/bg_$size"
done

echo "== in-process (medians of 5)"
./build/release/bench/tolvane_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  | tee "$OUT/core.txt"
./build/release/bench/tolvane_bench_png "$OUT/bg_3840x2160.ppm" | tee "$OUT/png.txt"
./build/release/bench/tolvane_bench_text --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  | tee "$OUT/text.txt"

echo "== whole process against the peers ($RUNS runs each)"
cat > "$OUT/tolvane-profile.json" <<JSON
{"tolvane": {"launch": ["$(pwd)/build/release/tolvane"], "cold": true,
             "copy": "dblclick:{cx},{cy}", "after_copy": ["key:Escape"]}}
JSON
"$ANCHORS/run_all.sh" "$OUT/anchors" flameshot-cold,tolvane "$RUNS" --profiles "$OUT/tolvane-profile.json" --no-baseline
bench/ratios.py "$OUT/anchors" --after tolvane --ref flameshot-cold | tee "$OUT/ratios.md"
echo "report: $OUT/anchors/report.md"

echo "== Wayland (headless sway) next to X11 (Xvfb), 1920x1080 ($RUNS runs each)"
cmake --build build/release -j2 --target tolvane_bench_wayland
./build/release/tests/e2e/wayland/tolvane_bench_wayland "$RUNS" | tee "$OUT/wayland.txt"

echo "== sway: wlr-screencopy and the Screenshot portal next to Flameshot, 1920x1080 ($RUNS runs each)"
./build/release/tests/e2e/wayland/tolvane_bench_wayland --portal "$RUNS" | tee "$OUT/sway_portal.md"
