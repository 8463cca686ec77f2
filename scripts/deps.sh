#!/usr/bin/env bash
# Makes sure the Debian packages a build needs are installed.
#   scripts/deps.sh native     compiler, CMake, GoogleTest
#   scripts/deps.sh sanitize   clang with its sanitizer and libFuzzer runtimes
#   scripts/deps.sh lint       clang-tidy, cppcheck
#   scripts/deps.sh bench      Google Benchmark
#   scripts/deps.sh windows    mingw-w64 cross compilers, wine64, zip tools
#   scripts/deps.sh unicode    the Unicode Character Database; only to
#                              regenerate settings/UpperCaseTable.inc with
#                              scripts/gen_case_table.py (builds use the
#                              committed file)
# As root, missing packages are installed with apt-get; otherwise the
# script names them and fails.
set -euo pipefail

declare -A packages=(
  [native]="g++ cmake make libgtest-dev binutils"
  [sanitize]="clang libclang-rt-14-dev"
  [lint]="clang-tidy cppcheck"
  [bench]="libbenchmark-dev python3 python3-matplotlib"
  [unicode]="unicode-data"
  [windows]="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 zip unzip locales"
)

wanted=()
for set in "$@"; do
  [[ -n "${packages[$set]:-}" ]] || { echo "deps.sh: unknown package set '$set'" >&2; exit 2; }
  for p in ${packages[$set]}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || wanted+=("$p")
  done
done
[[ ${#wanted[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${wanted[*]}" >&2
  echo "Install them with: sudo apt-get install ${wanted[*]}" >&2
  exit 1
fi
echo "Installing: ${wanted[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${wanted[@]}"; } >/tmp/ombrels-apt.log 2>&1; then
  tail -n 20 /tmp/ombrels-apt.log >&2
  echo "deps.sh: could not install: ${wanted[*]} (log: /tmp/ombrels-apt.log)" >&2
  exit 1
fi
