#!/usr/bin/env bash
# Writes the zip the host's plugin installer takes:
#   scripts/package.sh TC_Ombrels.wdx TC_Ombrels.wdx64 WDXQUERY32.EXE WDXQUERY64.EXE VERSION OUTPUT.zip
# The host tool of each bitness goes in beside the modules, as wdxquery.exe
# (32-bit) and wdxquery64.exe (64-bit): each loads the module of its own
# bitness from its own folder when no module is named.
# VERSION (the project's, major.minor.patch) goes into the readme. Every
# entry is dated from SOURCE_DATE_EPOCH, by default the time of the last
# commit (outside a git checkout, the date of the top CMakeLists.txt), and
# has the same mode whatever the umask: one commit always gives the same zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 6 ]] || { echo "usage: $0 WDX WDX64 WDXQUERY32.EXE WDXQUERY64.EXE VERSION OUTPUT.zip" >&2; exit 2; }
wdx=$1 wdx64=$2 tool32=$3 tool64=$4 version=$5 out=$6
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: bad version '$version'" >&2; exit 2; }
for f in "$wdx" "$wdx64" "$tool32" "$tool64"; do
  [[ -f "$f" ]] || { echo "package: no file at $f" >&2; exit 1; }
done
SOURCE_DATE_EPOCH=$(cmake -P "$root/cmake/SourceDateEpoch.cmake")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$wdx" "$stage/TC_Ombrels.wdx"
cp "$wdx64" "$stage/TC_Ombrels.wdx64"
cp "$tool32" "$stage/wdxquery.exe"
cp "$tool64" "$stage/wdxquery64.exe"
cp "$root/packaging/pluginst.inf" "$stage/"
sed "s/@VERSION@/$version/g" "$root/packaging/readme.txt.in" >"$stage/readme.txt"
cp "$root/LICENSE" "$stage/LICENSE"
entries=(pluginst.inf readme.txt LICENSE TC_Ombrels.wdx TC_Ombrels.wdx64 wdxquery.exe wdxquery64.exe)
(cd "$stage" && chmod 0644 "${entries[@]}" && touch -d "@$SOURCE_DATE_EPOCH" "${entries[@]}")
rm -f "$out"
out_abs=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# A zip stores local time: in UTC, the dates do not depend on the zone.
(cd "$stage" && TZ=UTC zip -q -X "$out_abs" "${entries[@]}")
echo "wrote $out"
