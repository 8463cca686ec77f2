#!/usr/bin/env bash
# Packs the plugin zip that packaging/plugin-zip.list declares:
#   scripts/package.sh WIN32-BUILD WIN64-BUILD OUTPUT.zip
# from the two Windows Release build folders and the source tree. Every
# entry is dated from SOURCE_DATE_EPOCH (cmake/SourceDateEpoch.cmake) and
# has mode 0644 whatever the umask: one commit always gives the same zip.
# (Not CPack: its ZIP generator gives each entry extra fields with owner and
# times and orders the entries itself; zip -X writes plain entries in the
# list's order.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 3 ]] || { echo "usage: $0 WIN32-BUILD WIN64-BUILD OUTPUT.zip" >&2; exit 2; }
declare -A builds=([win32]=$1 [win64]=$2)
out=$3
fail() { echo "package: $*" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "${builds[win64]}/CMakeCache.txt")
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no project version in ${builds[win64]}/CMakeCache.txt"
SOURCE_DATE_EPOCH=$(cmake -P "$root/cmake/SourceDateEpoch.cmake")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
entries=()
while read -r name from; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  [[ -n "$from" ]] || fail "packaging/plugin-zip.list: no file for $name"
  case "$from" in
    win32/* | win64/*) file="${builds[${from%%/*}]}/${from#*/}" ;;
    *) file="$root/$from" ;;
  esac
  [[ -f "$file" ]] || fail "no file at $file (for $name)"
  if [[ "$from" == *.in ]]; then
    sed "s/@VERSION@/$version/g" "$file" >"$stage/$name"
  else
    cp "$file" "$stage/$name"
  fi
  entries+=("$name")
done <"$root/packaging/plugin-zip.list"
(cd "$stage" && chmod 0644 "${entries[@]}" && touch -d "@$SOURCE_DATE_EPOCH" "${entries[@]}")
rm -f "$out"
out_abs=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# A zip stores local time: in UTC, the dates do not depend on the zone.
(cd "$stage" && TZ=UTC zip -q -X "$out_abs" "${entries[@]}")
echo "wrote $out"
