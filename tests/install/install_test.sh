#!/bin/sh
# Installs a build to a temporary prefix, as `cmake --install` does for a
# package, and checks what lands there with the desktop's own validators.
# Usage: install_test.sh BUILD_DIR
set -u
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
# The validators may keep caches: in a home of the test's own.
export HOME=$tmp/home XDG_CACHE_HOME=$tmp/home/.cache XDG_CONFIG_HOME=$tmp/home/.config \
       XDG_DATA_HOME=$tmp/home/.local/share XDG_STATE_HOME=$tmp/home/.local/state
mkdir -p "$HOME"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

id=io.github.tolvane.Tolvane
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "cmake --install"; }

bin=$prefix/bin/tolvane
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
man=$prefix/share/man/man1/tolvane.1
svg=$prefix/share/icons/hicolor/scalable/apps/$id.svg
for f in "$bin" "$desktop" "$metainfo" "$man" "$svg"; do
  [ -s "$f" ] || fail "not installed: ${f#$prefix/}"
done
[ -x "$bin" ] || fail "bin/tolvane is not executable"

# Every PNG size, and each really that size (the width and height in its IHDR).
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  if [ ! -s "$png" ]; then fail "not installed: icon ${size}x${size}"; continue; fi
  set -- $(od -An -tu1 -j16 -N8 "$png")
  w=$(( $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 ))
  h=$(( $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 ))
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "icon ${size}x${size} is ${w}x${h}"
done

# The validators: errors and warnings fail, hints do not.
if out=$(desktop-file-validate "$desktop" 2>&1); then
  if echo "$out" | grep -qiE 'error|warning'; then fail "desktop-file-validate: $out"; fi
else
  fail "desktop-file-validate: $out"
fi
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"

# The desktop entry runs the installed program and names the installed icon;
# the metadata launches that entry.
# KWin matches Exec= as a whole to the running program's full path before it
# lets it use its screenshot interface, which the entry names.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = "$prefix/bin/tolvane" ] || fail "Exec=$exec_line is not the installed program's full path"
grep -qx 'X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2' "$desktop" ||
  fail "the desktop entry does not ask KWin for its screenshot interface"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon" = "$id" ] || fail "Icon=$icon is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo does not launch $id.desktop"

# The version is the same everywhere: the program, the metadata's newest release, the man page.
version=$("$bin" --version | sed -n 's/^tolvane //p')
[ -n "$version" ] || fail "tolvane --version printed no version"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "metainfo's newest release $release is not the program's $version"
grep -q "^\.TH TOLVANE 1 .*\"tolvane $version\"" "$man" || fail "the man page is not for tolvane $version"

# The installed program finds its capture stage under lib/, not in the build
# tree: started on Qt's offscreen platform (no display needed), it has the
# installed stage mapped. It is stopped once it has.
[ -n "$(find "$prefix" -name tolvane-capture.so)" ] || fail "not installed: tolvane-capture.so"
mkdir -p "$tmp/run" && chmod 700 "$tmp/run"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp/run "$bin" >"$tmp/run.log" 2>&1 &
pid=$!
loaded=no
for _ in $(seq 200); do
  if grep -F tolvane-capture.so "/proc/$pid/maps" 2>/dev/null | grep -qF "$prefix/"; then
    loaded=yes
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ "$loaded" = yes ] || fail "the installed program did not load its capture stage: $(cat "$tmp/run.log")"

# The man page formats without a warning, and lists every option --help lists.
warnings=$(groff -man -Tutf8 -ww -z "$man" 2>&1)
[ -z "$warnings" ] || fail "groff: $warnings"
text=$(MANWIDTH=100 man -l "$man" 2>/dev/null | col -b)
[ -n "$text" ] || fail "man -l shows nothing"
options=$("$bin" --help | grep -oE -- '--[a-z]+' | sort -u)
[ -n "$options" ] || fail "tolvane --help lists no options"
for o in $options; do
  echo "$text" | grep -qe "$o" || fail "the man page does not document $o"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed and valid: $(cd "$prefix" && find . -type f | wc -l) files"
