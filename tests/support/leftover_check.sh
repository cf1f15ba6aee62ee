#!/bin/sh
# Fails when a process that the end-to-end tests started is still running
# after them: every such process carries TOLVANE_E2E_RUN=ID in its
# environment (a dbus-daemon auto-launched by a program under test inherits
# it too).
#   tests/support/leftover_check.sh ID [SECONDS]
# Processes just killed may take a moment to go, so this waits up to SECONDS
# (10 by default) for them.
id=${1:-}
wait_s=${2:-10}
[ -n "$id" ] || { echo "usage: $0 ID [SECONDS]" >&2; exit 2; }
mark="TOLVANE_E2E_RUN=$id"

leftovers() {
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}; pid=${pid%/environ}
    [ "$pid" != $$ ] || continue
    { tr '\0' '\n' <"$env" | grep -qxF "$mark"; } 2>/dev/null && echo "$pid"
  done
}

start=$(date +%s)
end=$(( start + wait_s ))
while :; do
  left=$(leftovers)
  if [ -z "$left" ]; then
    echo "no process of the tests is left running (waited $(( $(date +%s) - start )) s for the last to end)"
    exit 0
  fi
  [ "$(date +%s)" -lt "$end" ] || break
  sleep 0.2
done
echo "still running after the tests ($(echo "$left" | wc -l) processes," \
  "$(for p in $left; do cat /proc/$p/comm 2>/dev/null; done | grep -c '^dbus-')" "of them dbus-daemon or dbus-launch):"
for p in $left; do ps -o pid=,ppid=,user=,args= -p "$p"; done
exit 1
