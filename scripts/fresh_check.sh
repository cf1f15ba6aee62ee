#!/usr/bin/env bash
# Tries the project as a newcomer would, on a brand-new Debian 12 machine:
#   scripts/fresh_check.sh [--test] [--root-only] [REF]
# A pristine root with the package set of a fresh machine of this kind
# (scripts/fresh-machine-packages.txt) is built once with mmdebstrap and kept
# as a tarball under /var/tmp. Each run unpacks a copy, clones the committed
# REF (default HEAD) into it, and in a private mount and pid namespace runs
# `make run` with no display and a plain environment; the demo's pictures
# must come out as valid PNGs. With --test (or FRESH_TEST=1), `make test`
# follows in the same root. Every mount and process goes with the namespace,
# and the copy is removed, also on failure or interrupt.
#
# Environment:
#   FRESH_CACHE  where the root tarball is kept (default /var/tmp)
#   FRESH_LOCK   a lock file to hold while the root builds the project (e.g.
#                /tmp/tolvane-build.lock on a shared machine); none by default
#   FRESH_RUN_TIMEOUT, FRESH_TEST_TIMEOUT, FRESH_ROOT_TIMEOUT  seconds
#
# Exit status: 0 passed, 1 failed, 2 wrong use, 3 no root could be had (no
# mmdebstrap, no network): nothing was checked.
set -euo pipefail
# All in a function, read whole before it runs: an edit to this file while
# a check runs cannot change what it does.
main() {
cd "$(dirname "$0")/.."
repo=$(pwd)

test_too=${FRESH_TEST:-0}
root_only=0
ref=HEAD
for a in "$@"; do
  case "$a" in
    --test) test_too=1 ;;
    --root-only) root_only=1 ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fresh-check: unknown option $a" >&2; exit 2 ;;
    *) ref=$a ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: needs root (namespaces, chroot): sudo $0 $*" >&2; exit 2; }

list=scripts/fresh-machine-packages.txt
cache=${FRESH_CACHE:-/var/tmp}
# The tarball is named after the package list, so a changed list builds anew.
root_tar="$cache/tolvane-fresh-root-$(sha256sum "$list" | cut -c1-12).tar"
started=$(date +%s)
say() { echo "fresh-check: $* ($(( $(date +%s) - started )) s)"; }

build_root() {
  command -v mmdebstrap >/dev/null || scripts/deps.sh --fresh ||
    { echo "fresh-check: mmdebstrap is not installed and cannot be" >&2; return 3; }
  local tmp="${root_tar%.tar}.part$$.tar"
  say "building the pristine root $root_tar (once)"
  # A failed build leaves no tarball behind.
  if ! timeout "${FRESH_ROOT_TIMEOUT:-1800}" mmdebstrap --quiet --variant=apt \
      --include="$(grep -v '^#' "$list" | paste -sd, -)" bookworm "$tmp"; then
    rm -rf "$tmp"
    echo "fresh-check: the root could not be built (network?)" >&2
    return 3
  fi
  mv "$tmp" "$root_tar"
  say "root built"
}
[ -s "$root_tar" ] || build_root || exit $?
[ "$root_only" -eq 0 ] || exit 0

commit=$(git rev-parse --verify "$ref^{commit}") || { echo "fresh-check: no commit $ref" >&2; exit 2; }

work=$(mktemp -d "$cache/tolvane-fresh.XXXXXX")
ns_pid=""
cleanup() {
  # Killing unshare takes its child, the namespace's pid 1, and with it every
  # process in the namespace; the namespace's mounts go with them.
  if [ -n "$ns_pid" ]; then kill -KILL "$ns_pid" 2>/dev/null || true; wait "$ns_pid" 2>/dev/null || true; fi
  if grep -q " $work/" /proc/self/mountinfo; then
    echo "fresh-check: mounts left under $work; not removing it" >&2
    return
  fi
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "unpacking a copy of the root"
mkdir "$work/root"
tar -xf "$root_tar" -C "$work/root"
git clone -q --no-checkout "$repo" "$work/root/root/tolvane"
git -C "$work/root/root/tolvane" cat-file -e "$commit" 2>/dev/null || git -C "$work/root/root/tolvane" fetch -q origin "$commit"
git -C "$work/root/root/tolvane" checkout -q --detach "$commit"
say "cloned $(git log -1 --format='%h %s' "$commit")"

# What runs inside: the mounts a machine has, then the commands as root with
# a plain environment. Its status tells which step failed.
inner=$(cat <<'EOF'
set -eu
r=$1 test_too=$2
mount --make-rprivate /
mount -t proc proc "$r/proc"
mount -t sysfs sysfs "$r/sys"
mount --rbind /dev "$r/dev"
mount -t tmpfs -o mode=1777 tmpfs "$r/dev/shm"
mount -t tmpfs -o mode=755 tmpfs "$r/run"
touch "$r/etc/resolv.conf" && mount --bind /etc/resolv.conf "$r/etc/resolv.conf"
in_root() {
  chroot "$r" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 /bin/bash -c "cd /root/tolvane && $1"
}
t0=$(date +%s)
in_root 'make run' || { echo "fresh-check: make run failed ($(( $(date +%s) - t0 )) s)"; exit 10; }
echo "fresh-check: make run passed in $(( $(date +%s) - t0 )) s"
[ "$test_too" = 1 ] || exit 0
t0=$(date +%s)
in_root 'make test' || { echo "fresh-check: make test failed ($(( $(date +%s) - t0 )) s)"; exit 11; }
echo "fresh-check: make test passed in $(( $(date +%s) - t0 )) s"
EOF
)

run_inside() {
  unshare --mount --pid --ipc --uts --fork --kill-child \
    timeout "$1" bash -c "$inner" inner "$work/root" "$test_too" &
  ns_pid=$!
  local st=0
  wait "$ns_pid" || st=$?
  ns_pid=""
  return "$st"
}
limit=$(( ${FRESH_RUN_TIMEOUT:-1800} + (test_too ? ${FRESH_TEST_TIMEOUT:-3600} : 0) ))
say "running make run$([ "$test_too" = 1 ] && echo ' and make test') in the root"
st=0
if [ -n "${FRESH_LOCK:-}" ]; then
  exec 9>"$FRESH_LOCK"
  flock 9
  say "holding $FRESH_LOCK"
  run_inside "$limit" || st=$?
  flock -u 9
else
  run_inside "$limit" || st=$?
fi
# make run passed unless it is the step that failed: its pictures are checked.
if [ "$st" -ne 10 ] && [ "$st" -ne 124 ]; then
  python3 scripts/png_check.py "$work/root/root/tolvane/build/demo"/{desktop,annotating,capture}.png || st=12
fi
say "done, status $st"
[ "$st" -eq 0 ] && echo "fresh-check: PASSED ($commit)" || echo "fresh-check: FAILED ($commit)"
[ "$st" -eq 0 ]
}
main "$@"
