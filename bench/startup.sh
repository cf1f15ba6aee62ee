#!/usr/bin/env bash
# Start-up and finishing, a build against an older one and against Flameshot,
# all in the same run (figures on this shared machine are noisy: compare the
# ratios of one run). Run by hand, never by make test.
#   bench/startup.sh BEFORE_PROGRAM [RUNS]
# BEFORE_PROGRAM: the older tolvane, e.g. built from an older commit elsewhere.
# Uses the shared anchors harness (../shared/anchors, Xvfb :91 and :92) for
# exec to veil, peak memory, copy button and double click to image/png, with
# the ratios to Flameshot and to the older build (bench/ratios.py), and
# bench/exec_to_read.py (Xvfb :91) for exec to screen read.
set -euo pipefail
cd "$(dirname "$0")/.."
BEFORE="$(realpath "${1:?usage: bench/startup.sh BEFORE_PROGRAM [RUNS]}")"
RUNS="${2:-7}"
AFTER="$(pwd)/build/release/tolvane"
ANCHORS="$(cd .. && pwd)/shared/anchors"
OUT="$(pwd)/bench/out/startup"
mkdir -p "$OUT"
for display in 91 92; do
  if [ -e "/tmp/.X$display-lock" ]; then echo "display :$display is in use" >&2; exit 1; fi
done

# The copy button lies 15 px left of the region's right end, 17 px below it.
profile() {  # NAME PROGRAM COPY [AFTER_COPY]
  printf '"%s": {"launch": ["%s"], "cold": true, "copy": "%s", "after_copy": [%s]}' "$1" "$2" "$3" "${4:-}"
}
{
  echo "{"
  profile tolvane-before-copy "$BEFORE" 'click:{x2-15},{y2+17}'; echo ","
  profile tolvane-copy "$AFTER" 'click:{x2-15},{y2+17}'; echo ","
  profile tolvane-before-dblclick "$BEFORE" 'dblclick:{cx},{cy}' '"key:Escape"'; echo ","
  profile tolvane-dblclick "$AFTER" 'dblclick:{cx},{cy}' '"key:Escape"'
  echo "}"
} > "$OUT/profiles.json"

"$ANCHORS/run_all.sh" "$OUT/anchors" \
  flameshot-warm,flameshot-cold,tolvane-before-copy,tolvane-copy,tolvane-before-dblclick,tolvane-dblclick \
  "$RUNS" --profiles "$OUT/profiles.json" --no-baseline
bench/ratios.py "$OUT/anchors" --before tolvane-before-dblclick --after tolvane-dblclick --ref flameshot-cold \
  | tee "$OUT/ratios.md"
for size in 1920x1080 3840x2160; do
  bench/exec_to_read.py --display :91 --size "$size" --runs "$RUNS" \
    "before=$BEFORE" "after=$AFTER" "flameshot=flameshot gui"
done | tee "$OUT/exec_to_read.md"
