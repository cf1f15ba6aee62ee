#!/bin/sh
# The program on a private headless KWin (the KWin end-to-end tests, run
# RUNS times): exec to the veil seen, on KWin's own screenshot interface and
# on KDE's Screenshot portal, and each way of copying to image/png served
# to wl-paste. Medians; the portal's first request of each KWin session,
# which starts the portal, apart. Usage: bench/kwin.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build/release}
runs=${2:-5}
bin=$build/tests/e2e/kwin/tolvane_e2e_kwin
[ -x "$bin" ] || { echo "no $bin: build the release preset's tolvane_e2e_kwin first" >&2; exit 1; }
"$bin" --gtest_filter='KWinTest.NativeRoute*:KWinTest.PortalRoute*' --gtest_repeat="$runs" 2>/dev/null |
  awk '
    /^\[ RUN/ { route = ($0 ~ /Native/) ? "kwin" : "portal"; first = 1; next }
    /veil seen/ {
      key = route (route == "portal" && first ? " (portal starting)" : "")
      veil[key] = veil[key] " " $3; first = 0; next
    }
    /served/ { copy[route] = copy[route] " " $(NF - 4) }
    function median(list,   a, n, i, j, t) {
      n = split(list, a, " ")
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    function count(list,   a) { return split(list, a, " ") }
    END {
      for (k in veil) printf "exec to veil, %-26s median %6.1f ms of %d\n", k ":", median(veil[k]), count(veil[k])
      for (k in copy) printf "copy to image/png, %-21s median %6.1f ms of %d\n", k ":", median(copy[k]), count(copy[k])
    }'
