#!/bin/sh
# Runs a test program with HOME and the XDG folders on empty folders and fails
# when the program left anything there: tests must keep to a home of their own.
set -u
watch=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-watch-XXXXXX") || exit 1
mkdir "$watch/home" "$watch/xdg"
HOME="$watch/home" XDG_CONFIG_HOME="$watch/xdg/config" XDG_CACHE_HOME="$watch/xdg/cache" \
  XDG_DATA_HOME="$watch/xdg/data" XDG_STATE_HOME="$watch/xdg/state" XDG_RUNTIME_DIR="$watch/xdg/run" \
  "$@" >"$watch/log" 2>&1
status=$?
left=$(cd "$watch" && find home xdg -mindepth 1)
[ "$status" -eq 0 ] || { cat "$watch/log"; echo "the tests failed ($status)"; }
[ -z "$left" ] || echo "written into the home:" $left
rm -rf "$watch"
[ "$status" -eq 0 ] && [ -z "$left" ]
