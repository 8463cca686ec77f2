#!/usr/bin/env bash
# Proves that the README's two commands work on a fresh Debian machine.
#
#   scripts/pristine-root.sh [REV]
#
# Builds a pristine Debian root with mmdebstrap from the release suite of
# this machine's Debian (no updates, no security archive), then gives it
# this machine's apt sources and keyrings, so that it meets the archive as
# a new machine does, broken indexes included. A clean clone of the
# project's REV (default HEAD: what is committed, as CI sees it) is copied
# into it; /proc, /dev, /dev/shm and /tmp are mounted in a mount namespace
# of its own; and the two commands of the README's "Two commands" section
# run there as CI runs them: as root, with CI=true, exactly as the README
# writes them. Each command's time and result, and the number of packages
# each installed, are reported at the end.
#
# Everything happens under build/pristine/ (the root, the logs): the root
# is removed at the end, also when a step fails; the logs stay. Needs root,
# and mmdebstrap (installed with apt-get when missing). Takes many minutes:
# it is not part of the test command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rev=HEAD
case "${1:-}" in
  -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
  -*) echo "usage: $0 [REV]" >&2; exit 2 ;;
  ?*) rev=$1 ;;
esac

fail() { echo "pristine-root: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "needs root (it builds a Debian root and mounts into it)"
scratch="$root/build/pristine"
rootfs="$scratch/root"
logs="$scratch/logs"

# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[[ -n "$codename" ]] || fail "cannot tell this machine's Debian release from /etc/os-release"
# The mirror of the release: the first source that serves the release suite.
mirror=$(
  shopt -s nullglob
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f "$f" ]] || continue
    awk -v s="$codename" '$1 == "deb" && $3 == s {print $2}' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    awk -v s="$codename" '
      /^URIs:/ {u=$2} /^Suites:/ {for (i = 2; i <= NF; i++) if ($i == s) ok=1}
      /^$/ {if (ok) print u; u=""; ok=0} END {if (ok) print u}' "$f"
  done | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}

if ! command -v mmdebstrap >/dev/null; then
  echo "Installing mmdebstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap \
    >/dev/null 2>&1 || { apt-get update -qq >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap \
      >/dev/null 2>&1; } || fail "mmdebstrap is missing and could not be installed with apt-get"
fi

# Leaves nothing behind but the logs: every mount lives in the namespace of
# the run and ends with it; the root is removed only when nothing is
# mounted under it, and never across a file system boundary.
cleanup() {
  if [[ -d "$rootfs" ]]; then
    if findmnt -rn -o TARGET | grep -q "^$rootfs\(/\|$\)"; then
      echo "pristine-root: something is still mounted under $rootfs; not removing it" >&2
      return
    fi
    rm -rf --one-file-system "$rootfs"
  fi
}
trap cleanup EXIT
cleanup
mkdir -p "$logs"
rm -f "$logs"/*

echo "== Building a pristine Debian $codename root from $mirror (log: $logs/mmdebstrap.log)"
start=$SECONDS
if ! mmdebstrap --variant=apt --include=git,ca-certificates "$codename" "$rootfs" \
    "deb $mirror $codename main" >"$logs/mmdebstrap.log" 2>&1; then
  tail -n 15 "$logs/mmdebstrap.log" >&2
  fail "mmdebstrap could not build the root: is the archive $mirror reachable?"
fi
echo "   built in $((SECONDS - start)) s"

# This machine's apt sources and keyrings, and its name server.
shopt -s nullglob
rm -f "$rootfs/etc/apt/sources.list" "$rootfs"/etc/apt/sources.list.d/*
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  if [[ -f "$f" ]]; then cp "$f" "$rootfs$f"; fi
done
for d in /etc/apt/trusted.gpg.d /etc/apt/keyrings /usr/share/keyrings; do
  if [[ -d "$d" ]]; then mkdir -p "$rootfs$d" && cp -a "$d/." "$rootfs$d/"; fi
done
shopt -u nullglob
cp -L /etc/resolv.conf "$rootfs/etc/resolv.conf"

project=/root/TC_Ombrels
git -c advice.detachedHead=false clone -q "$root" "$rootfs$project"
git -C "$rootfs$project" checkout -q "$(git -C "$root" rev-parse "$rev")"
echo "== The project at $(git -C "$rootfs$project" log -1 --format='%h %s' | cut -c1-70)"

# The README's two commands, as it writes them (the indented lines of the
# section "Two commands").
mapfile -t commands < <(awk '/^## /{on = ($0 == "## Two commands")} on && /^    [^ ]/ {sub(/^    /, ""); print}' \
  "$rootfs$project/README.md")
[[ ${#commands[@]} -eq 2 ]] ||
  fail "expected two commands in the README's section \"Two commands\", found ${#commands[@]}"

# Runs each command in the root, in a mount namespace of its own, and
# writes "STATUS SECONDS PACKAGES-BEFORE PACKAGES-AFTER KIB-BEFORE KIB-AFTER"
# to the results (the packages installed, and the space dpkg says they take).
inner() {
  local rootfs=$1 project=$2 logs=$3; shift 3
  mount -t proc proc "$rootfs/proc"
  mount --bind /dev "$rootfs/dev"
  mount -t tmpfs -o mode=1777 shm "$rootfs/dev/shm"
  mount -t tmpfs -o mode=1777 tmp "$rootfs/tmp"
  local i=0 command status start before after
  # packages: "COUNT KIB" of the installed packages
  packages() {
    chroot "$rootfs" dpkg-query -W -f='${Status} ${Installed-Size}\n' |
      awk '/ installed / {n++; k += $NF} END {print n, k}'
  }
  for command in "$@"; do
    i=$((i + 1))
    before=$(packages)
    start=$SECONDS
    status=0
    chroot "$rootfs" /usr/bin/env -i HOME=/root CI=true LANG=C.UTF-8 TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      bash -c "cd $project && $command" </dev/null >"$logs/command$i.log" 2>&1 || status=$?
    after=$(packages)
    echo "$status $((SECONDS - start)) $before $after" >>"$logs/results"
    echo "   $command: exit $status in $((SECONDS - start)) s"
  done
}
echo "== Running the README's two commands in the root (logs: $logs/command1.log, command2.log)"
export -f inner
unshare --mount --propagation private bash -c 'set -eu; inner "$@"' inner \
  "$rootfs" "$project" "$logs" "${commands[@]}"

echo
echo "== Summary (Debian $codename, $(nproc) cores)"
status=0
i=0
while read -r code seconds before kib_before after kib_after; do
  i=$((i + 1))
  printf '  %-20s %s in %dm%02ds; it installed %d packages (%d -> %d), %d MiB\n' \
    "${commands[i - 1]}" "$([[ $code == 0 ]] && echo passed || echo "FAILED (exit $code)")" \
    $((seconds / 60)) $((seconds % 60)) $((after - before)) "$before" "$after" \
    $(((kib_after - kib_before) / 1024))
  [[ $code == 0 ]] || status=1
done <"$logs/results"
echo "  the root takes $(du -sx --block-size=1M "$rootfs" | cut -f1) MiB after both (builds included)"
[[ $i == 2 ]] || { echo "pristine-root: a command did not run" >&2; status=1; }
if [[ $status != 0 ]]; then
  echo "pristine-root: FAILED; the last lines of each log:" >&2
  for f in "$logs"/command*.log; do echo "-- $f" >&2; tail -n 15 "$f" >&2; done
fi
exit $status
