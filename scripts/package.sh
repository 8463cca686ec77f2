#!/usr/bin/env bash
# Writes the zip the host's plugin installer takes:
#   scripts/package.sh TC_Ombrels.wdx TC_Ombrels.wdx64 VERSION OUTPUT.zip
# VERSION (the project's, major.minor.patch) goes into the readme.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 4 ]] || { echo "usage: $0 WDX WDX64 VERSION OUTPUT.zip" >&2; exit 2; }
wdx=$1 wdx64=$2 version=$3 out=$4
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: bad version '$version'" >&2; exit 2; }
for f in "$wdx" "$wdx64"; do [[ -f "$f" ]] || { echo "package: no module at $f" >&2; exit 1; }; done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$wdx" "$stage/TC_Ombrels.wdx"
cp "$wdx64" "$stage/TC_Ombrels.wdx64"
cp "$root/packaging/pluginst.inf" "$stage/"
sed "s/@VERSION@/$version/g" "$root/packaging/readme.txt.in" >"$stage/readme.txt"
rm -f "$out"
out_abs=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
(cd "$stage" && zip -q -X "$out_abs" pluginst.inf readme.txt TC_Ombrels.wdx TC_Ombrels.wdx64)
echo "wrote $out"
