#!/bin/sh
# The program's first stage loads only what reading the screen and showing
# the start-up window need (xcb, and libwayland-client for the Wayland
# read): no Qt, no picture codecs. Checks the libraries
# the executable names (DT_NEEDED); the capture stage must name Qt.
# Usage: first_stage_libs.sh PROGRAM CAPTURE_STAGE
set -u
program=$1
stage=$2
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
libs=$(needed "$program")
[ -n "$libs" ] || { echo "FAIL: readelf lists no libraries for $program"; exit 1; }
failures=0
for lib in $libs; do
  case $lib in
    libxcb.so.* | libxcb-shm.so.* | libxcb-randr.so.* | libxcb-render.so.*) ;;  # the start-up window's veil
    libwayland-client.so.*) ;;  # the Wayland screen read
    libc.so.* | libm.so.* | libstdc++.so.* | libgcc_s.so.* | ld-linux*) ;;
    libasan.so.* | libubsan.so.*) ;;  # the sanitizer build
    *) echo "FAIL: the first stage loads $lib"; failures=$((failures + 1)) ;;
  esac
done
needed "$stage" | grep -q '^libQt6Widgets' || { echo "FAIL: $stage does not load Qt"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] || exit 1
echo "first stage loads:" $libs
