#!/usr/bin/env bash
# Starts a capture on $DISPLAY; with no display, shows a scripted one under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting a capture on $DISPLAY (Esc leaves; drag a region, double-click it to copy)"
  exec ./build/tolvane
fi
exec ./scripts/demo.sh
