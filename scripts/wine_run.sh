#!/usr/bin/env bash
# Runs a test program under Wine:  scripts/wine_run.sh PROGRAM [ARG]...
# Now and then Wine ends a process before the program in it starts: a
# failing status in a few milliseconds with nothing printed. A GoogleTest
# program always prints before it tests anything, so a failing run that
# printed nothing is such a start; it is tried again, at most twice, and
# said so on stderr. A program that printed anything is never run again.
set -uo pipefail
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for try in 1 2 3; do
  wine "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$try" -eq 3 ]; then
    break
  fi
  echo "wine_run: $1 ended with status $status before it printed anything; starting it again" >&2
done
cat "$out"
cat "$err" >&2
exit "$status"
