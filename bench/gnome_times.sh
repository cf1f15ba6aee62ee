#!/bin/sh
# Times of a capture on a private headless GNOME Shell through the Screenshot
# portal: exec to veil, and Ctrl+C to the copy read by wl-paste, medians of 7.
# Needs root (the shell runs in a mount namespace of its own) and the test
# packages (scripts/deps.sh --test).
#   bench/gnome_times.sh [BUILD_DIR]     (build/release by default)
build=${1:-build/release}
exec "$build/tests/e2e/gnome/tolvane_e2e_gnome" --gtest_also_run_disabled_tests \
  --gtest_filter=Gnome.DISABLED_Times
