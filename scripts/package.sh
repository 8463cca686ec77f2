#!/usr/bin/env bash
# Writes the zip the host's plugin installer takes:
#   scripts/package.sh TC_Ombrels.wdx TC_Ombrels.wdx64 OUTPUT.zip
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 3 ]] || { echo "usage: $0 WDX WDX64 OUTPUT.zip" >&2; exit 2; }
wdx=$1 wdx64=$2 out=$3
for f in "$wdx" "$wdx64"; do [[ -f "$f" ]] || { echo "package: no module at $f" >&2; exit 1; }; done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$wdx" "$stage/TC_Ombrels.wdx"
cp "$wdx64" "$stage/TC_Ombrels.wdx64"
cp "$root/packaging/pluginst.inf" "$root/packaging/readme.txt" "$stage/"
rm -f "$out"
out_abs=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
(cd "$stage" && zip -q -X "$out_abs" pluginst.inf readme.txt TC_Ombrels.wdx TC_Ombrels.wdx64)
echo "wrote $out"
