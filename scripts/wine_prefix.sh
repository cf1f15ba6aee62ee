#!/usr/bin/env bash
# Runs a command against a fresh Wine prefix of its own, then stops that
# prefix's Wine processes:
#   scripts/wine_prefix.sh PREFIX COMMAND [ARG]...
# The prefix is made anew each time (wineboot -i) so no run sees another's
# registry or files.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# wineserver -k ends this prefix's server and every process it holds, no other.
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i 2>/dev/null
wineserver -w
# Windows without a display: the tests of the Win32 controls make real
# windows, and CI has no X server.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
# One server and one set of Wine's own services for the whole run, each test
# program then starts in a fraction of a second. Their output goes nowhere,
# so no caller waits on a pipe they hold.
wineserver -p </dev/null >/dev/null 2>&1
wineboot </dev/null >/dev/null 2>&1
"$@"
