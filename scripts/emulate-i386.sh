#!/usr/bin/env bash
# Lets a kernel that runs no 32-bit (i386) programs run the 32-bit wine, for
# the length of one test run, under CPU emulation.
#
#   scripts/emulate-i386.sh start STATE-DIR   ensure i386 programs run
#   scripts/emulate-i386.sh stop STATE-DIR    undo what start did
#
# start first asks the kernel: where /usr/lib/wine/wine starts, nothing is
# done. Where it fails with "Exec format error" (IA-32 emulation off), start
# takes qemu-user (8.1 or later; Debian 12's own 7.2 loops for ever on
# wine's MAP_FIXED_NOREPLACE) from Debian's bookworm-backports with apt, in
# an apt configuration of its own under STATE-DIR that leaves the system's
# sources, indexes and installed packages alone (`apt-get download`, then
# the one emulator taken out of the package into STATE-DIR), mounts
# binfmt_misc if needed and registers the emulator there for i386 ELF
# programs as the entry "ombrels-i386", with the flags O, P and F (F: the
# kernel opens the emulator now, so the entry also works inside a chroot or
# another mount namespace). It then checks that the 32-bit wine starts.
#
# stop removes the entry and unmounts binfmt_misc when start added them; an
# entry that was there before start is left alone. After a killed run, the
# entry is removed by hand with:
#   echo -1 >/proc/sys/fs/binfmt_misc/ombrels-i386
#
# OMBRELS_EMULATE_I386=always sets emulation up on any kernel.
# Needs root to set emulation up. Exits non-zero, naming what is missing,
# when i386 programs cannot be made to run.
set -euo pipefail
fail() { echo "emulate-i386: $*" >&2; exit 1; }
[[ $# -eq 2 && ($1 == start || $1 == stop) ]] || { echo "usage: $0 start|stop STATE-DIR" >&2; exit 2; }
action=$1
state=$(mkdir -p "$2" && cd "$2" && pwd)
wine=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
entry="$binfmt/ombrels-i386"
# i386 ELF executables and shared objects, as qemu's own binfmt entry has them.
magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
minimum=8.1

if [[ $action == stop ]]; then
  if [[ -f "$state/added-entry" ]]; then
    if [[ -e "$entry" ]]; then
      echo -1 >"$entry" || fail "could not remove $entry"
    fi
    rm -f "$state/added-entry"
    echo "emulate-i386: removed the binfmt_misc entry ombrels-i386"
  fi
  if [[ -f "$state/mounted" ]]; then
    umount "$binfmt" 2>/dev/null || true
    rm -f "$state/mounted"
  fi
  exit 0
fi

# probe : 0 when the 32-bit wine starts; the failure's text in $probe_out
# (bash, not timeout's execvp, execs it: execvp would hand a program the
# kernel refuses to /bin/sh.)
probe() { probe_out=$(timeout 120 bash -c 'exec "$0" --version' "$wine" 2>&1); }
[[ -x "$wine" ]] || fail "$wine is missing (scripts/deps.sh windows installs wine32:i386)"
# OMBRELS_EMULATE_I386=always emulates even where the kernel runs i386
# programs itself (an entry in binfmt_misc comes before the kernel's own
# loader), to try the emulated road on such a machine.
if [[ ${OMBRELS_EMULATE_I386:-} == always ]]; then
  echo "emulate-i386: OMBRELS_EMULATE_I386=always: setting up qemu-user"
else
  if probe; then
    exit 0
  fi
  [[ "$probe_out" == *"Exec format error"* ]] ||
    fail "the 32-bit wine does not start: $wine --version: $probe_out"
  echo "emulate-i386: this kernel runs no i386 programs (Exec format error); setting up qemu-user"
fi
[[ $(id -u) -eq 0 ]] ||
  fail "this kernel runs no i386 programs, and only root can register an emulator for them in binfmt_misc"

# qemu-user from bookworm-backports, in an apt configuration of its own.
qemu="$state/qemu/usr/bin/qemu-i386"
interpreter="$state/qemu/usr/libexec/qemu-binfmt/i386-binfmt-P"  # the name says: flag P
version_ok() {
  local v
  v=$("$qemu" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p')
  [[ -n "$v" ]] && [[ $(printf '%s\n%s\n' "$minimum" "$v" | sort -V | head -n 1) == "$minimum" ]]
}
if [[ ! -x "$qemu" || ! -e "$interpreter" ]] || ! version_ok; then
  # shellcheck source=/dev/null
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [[ -n "$release" ]] || fail "cannot tell this machine's Debian release from /etc/os-release"
  # The mirror of the release: the first of the system's sources serving it.
  mirror=$(
    shopt -s nullglob
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [[ -f "$f" ]] && awk -v s="$release" '$1 == "deb" && $3 == s {print ($2 ~ /^\[/ ? $3 : $2)}' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
      awk -v s="$release" '
        /^URIs:/ {u=$2} /^Suites:/ {for (i = 2; i <= NF; i++) if ($i == s) ok=1}
        /^$/ {if (ok) print u; u=""; ok=0} END {if (ok) print u}' "$f"
    done | head -n 1)
  mirror=${mirror:-http://deb.debian.org/debian}
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  [[ -f "$keyring" ]] || fail "$keyring is missing (package debian-archive-keyring)"
  apt="$state/apt"
  rm -rf "$apt" "$state/qemu"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/sources.list.d" "$apt/preferences.d"
  echo "deb [signed-by=$keyring] $mirror $release-backports main" >"$apt/sources.list"
  opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d"
        -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$apt/preferences.d"
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache::Archives="$apt/archives"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root
        -o APT::Architectures::="$(dpkg --print-architecture)")
  echo "emulate-i386: downloading qemu-user from $mirror $release-backports (log: $apt/apt.log)"
  (cd "$apt" && apt-get "${opts[@]}" update && apt-get "${opts[@]}" download qemu-user) \
    >"$apt/apt.log" 2>&1 ||
    { tail -n 10 "$apt/apt.log" >&2; fail "could not download qemu-user from $release-backports with apt"; }
  deb=$(echo "$apt"/qemu-user_*.deb)
  mkdir -p "$state/qemu"
  dpkg-deb --fsys-tarfile "$deb" |
    tar -x -C "$state/qemu" ./usr/bin/qemu-i386 ./usr/libexec/qemu-binfmt/i386-binfmt-P ||
    fail "could not take qemu-i386 out of $deb"
  rm -f "$deb"
  version_ok || fail "$qemu is not qemu-user $minimum or later: $("$qemu" --version 2>&1 | head -n 1)"
fi

if [[ ! -e "$binfmt/status" ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" ||
    fail "could not mount binfmt_misc on $binfmt (needed to register the emulator)"
  touch "$state/mounted"
fi
[[ $(cat "$binfmt/status") == enabled ]] || fail "binfmt_misc is disabled ($binfmt/status)"
[[ ! -e "$entry" ]] || fail "$entry exists but the 32-bit wine does not start with it; remove it: echo -1 >$entry"
echo ":ombrels-i386:M::$magic:$mask:$interpreter:OPF" >"$binfmt/register" ||
  fail "could not register $interpreter in binfmt_misc"
touch "$state/added-entry"
if ! probe; then
  "$0" stop "$state"
  fail "the 32-bit wine does not start under $($qemu --version | head -n 1): $probe_out"
fi
echo "emulate-i386: i386 programs run under $("$qemu" --version | head -n 1) for this run"
