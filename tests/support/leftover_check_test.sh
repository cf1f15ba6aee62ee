#!/bin/sh
# The check after the end-to-end tests finds a marked process still running,
# names it and fails; it passes once that process has gone, and ignores
# processes marked for another build.
here=$(dirname "$0")
id="leftover-check-test-$$"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

TOLVANE_E2E_RUN="$id" sleep 60 &
marked=$!
TOLVANE_E2E_RUN="$id-other" sleep 60 &
other=$!
out=$(sh "$here/leftover_check.sh" "$id" 1) && fail "a marked process running: the check passed"
echo "$out" | grep -q "^ *$marked .*sleep 60" || fail "the check did not name the marked process: $out"
echo "$out" | grep -q "^ *$other " && fail "the check named a process of another build: $out"
kill "$marked"
wait "$marked" 2>/dev/null
out=$(sh "$here/leftover_check.sh" "$id" 1) || fail "nothing marked left: the check failed: $out"
kill "$other"
wait "$other" 2>/dev/null
[ "$failures" -eq 0 ] || exit 1
echo "the check finds a leftover and passes without one"
