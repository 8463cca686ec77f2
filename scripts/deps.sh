#!/usr/bin/env bash
# Makes sure the Debian packages a build needs are installed.
#   scripts/deps.sh build      compiler and CMake: the native module and
#                              tool alone (the demo)
#   scripts/deps.sh native     the same with Ninja, GoogleTest and ICU (a test
#                              oracle only), for the native tests
#   scripts/deps.sh release    what the release command builds with: both
#                              compilers, Ninja, zip, dpkg-shlibdeps and file
#   scripts/deps.sh sanitize   clang with its sanitizer and libFuzzer runtimes
#   scripts/deps.sh lint       clang-tidy, cppcheck
#   scripts/deps.sh bench      Google Benchmark
#   scripts/deps.sh windows    mingw-w64 cross compilers, GoogleTest's
#                              sources, Ninja, wine64 and the
#                              32-bit wine32 (i386), zip tools, python3 (reads
#                              the version resource), mount (binfmt_misc,
#                              for emulation); and the locale ja_JP.UTF-8
#                              (wine's code page 932)
#   scripts/deps.sh package    dpkg-shlibdeps and file, for the Debian package;
#                              lintian, which checks it
#   scripts/deps.sh host       Double Commander (Qt build), Xvfb, xdotool and
#                              xclip, for the check of the column in that host
#   scripts/deps.sh screenshot ImageMagick, for that check's screenshot
#   scripts/deps.sh unicode    the Unicode Character Database; only to
#                              regenerate settings/UpperCaseTable.inc with
#                              scripts/gen_case_table.py (builds use the
#                              committed file)
# A name with an architecture (wine32:i386) comes from that architecture,
# which is added to dpkg first. As root, missing packages are installed with
# apt-get; otherwise the script names them and fails.
set -euo pipefail

declare -A packages=(
  [build]="g++ cmake make"
  [native]="g++ cmake make ninja-build libgtest-dev binutils libicu-dev"
  [release]="g++ cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 zip dpkg-dev file"
  [sanitize]="clang libclang-rt-14-dev"
  [lint]="clang-tidy cppcheck"
  [bench]="libbenchmark-dev python3 python3-matplotlib"
  [windows]="cmake ninja-build googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine32:i386 zip unzip locales python3 mount"
  [package]="dpkg-dev file lintian"
  [host]="doublecmd-qt xvfb xdotool xclip"
  [screenshot]="imagemagick"
  [unicode]="unicode-data"
)

# finish : what the sets need besides packages, then success.
finish() {
  if [[ " $sets " == *" windows "* ]] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    if [[ $(id -u) -ne 0 ]]; then
      echo "deps.sh: the locale ja_JP.UTF-8 is missing (wine's code page 932);" \
        "enable it in /etc/locale.gen and run locale-gen" >&2
      exit 1
    fi
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null || { echo "deps.sh: locale-gen failed" >&2; exit 1; }
  fi
  exit 0
}

sets="$*"
wanted=()
for set in "$@"; do
  [[ -n "${packages[$set]:-}" ]] || { echo "deps.sh: unknown package set '$set'" >&2; exit 2; }
  for p in ${packages[$set]}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || wanted+=("$p")
  done
done
[[ ${#wanted[@]} -eq 0 ]] && finish

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${wanted[*]}" >&2
  for p in "${wanted[@]}"; do
    [[ "$p" == *:* && "${p##*:}" != "$(dpkg --print-architecture)" ]] &&
      echo "First add its architecture: sudo dpkg --add-architecture ${p##*:} && sudo apt-get update" >&2
  done
  echo "Install them with: sudo apt-get install --no-install-recommends ${wanted[*]}" >&2
  exit 1
fi
echo "Installing: ${wanted[*]}"
export DEBIAN_FRONTEND=noninteractive
# Foreign architectures the wanted packages come from (wine32:i386).
native_arch=$(dpkg --print-architecture)
for p in "${wanted[@]}"; do
  [[ "$p" == *:* ]] || continue
  arch=${p##*:}
  [[ "$arch" == "$native_arch" ]] && continue
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    echo "Adding the package architecture $arch"
    dpkg --add-architecture "$arch" ||
      { echo "deps.sh: could not add the architecture $arch (needed for $p)" >&2; exit 1; }
  fi
done
# An index that fails to download (a mirror caught mid-sync) fails the
# update: it is tried again, and the install then runs on what was fetched.
for attempt in 1 2 3; do
  apt-get update -qq >/tmp/ombrels-apt.log 2>&1 && break
  echo "deps.sh: apt-get update failed (attempt $attempt of 3)" >&2
  sleep $((attempt * 10))
done
# When one architecture's index of the updates is missing (the i386 one
# caught mid-sync), a library shared by both architectures has a newer
# candidate on one side than on the other, and apt cannot put the two side
# by side: the install is tried again with the release's own versions
# preferred over the updates.
# shellcheck source=/dev/null
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if apt-get install -y -qq --no-install-recommends "${wanted[@]}" >>/tmp/ombrels-apt.log 2>&1; then
  finish
fi
if [[ -n "$release" ]]; then
  echo "deps.sh: installing again with the $release versions preferred" >&2
  apt-get install -y -qq --no-install-recommends -o APT::Default-Release="$release" \
    "${wanted[@]}" >>/tmp/ombrels-apt.log 2>&1 && finish
fi
tail -n 20 /tmp/ombrels-apt.log >&2
echo "deps.sh: could not install: ${wanted[*]} (log: /tmp/ombrels-apt.log)" >&2

# A library that two architectures install must have one version on both.
# When the native one is already newer than any version offered for the
# foreign one (upgraded from an index that the foreign architecture's
# mirror failed to deliver), no install can succeed: name such packages.
# Nothing is downgraded here.
foreign=()
for p in "${wanted[@]}"; do
  [[ "$p" == *:* && "${p##*:}" != "$native_arch" ]] && foreign+=("$p")
done
[[ ${#foreign[@]} -eq 0 ]] && exit 1
mapfile -t needed < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
  --no-breaks --no-replaces --no-enhances "${foreign[@]}" 2>/dev/null | grep -E '^[^ <].*:[a-z0-9]+$' | sort -u)
[[ ${#needed[@]} -eq 0 ]] && exit 1
# For each package of the foreign closure that is installed natively and
# shares its version across architectures: "name native-version offered..."
disagree=$(
  {
    dpkg-query -W -f='installed ${Package} ${Architecture} ${Version}\n' 2>/dev/null
    apt-cache show "${needed[@]}" 2>/dev/null |
      awk '/^Package:/ {p=$2} /^Architecture:/ {a=$2} /^Version:/ {v=$2}
           /^Multi-Arch: same/ {m=1}
           /^$/ {if (p != "") print "offered", p, a, v, m+0; p=""; m=0}
           END {if (p != "") print "offered", p, a, v, m+0}'
  } | awk -v native="$native_arch" '
    $1 == "installed" && $3 == native { have[$2] = $4; next }
    $1 == "offered" && $3 != native && $3 != "all" && $5 == 1 {
      offers[$2] = offers[$2] " " $4; arch[$2] = $3; if (!($2 in first)) first[$2] = $4
    }
    END {
      for (p in offers) if (p in have && index(offers[p] " ", " " have[p] " ") == 0)
        print p, arch[p], have[p], first[p], offers[p]
    }' | sort)
[[ -n "$disagree" ]] || exit 1
echo >&2
echo "deps.sh: the two architectures cannot agree. These libraries are installed" >&2
echo "for $native_arch in a version that is not offered for the other architecture," >&2
echo "and both must have the same version:" >&2
line_up=()
while read -r name arch have first _; do
  echo "  $name: $native_arch has $have installed; $arch is offered $first" >&2
  line_up+=("$name:$native_arch=$first")
done <<<"$disagree"
echo "To line them up (this downgrades the $native_arch packages named), run:" >&2
echo "  apt-get install --no-install-recommends --allow-downgrades${release:+ -o APT::Default-Release=$release} ${line_up[*]} ${wanted[*]}" >&2
echo "deps.sh: nothing was downgraded" >&2
exit 1
