#!/usr/bin/env bash
# Unpacks the plugin zip and checks what the host's installer will find:
#   check_package.sh ZIP WDX WDX64 VERSION
set -euo pipefail
zip=$1 wdx=$2 wdx64=$3 version=$4
fail() { echo "FAIL $zip: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir" || fail "cannot unpack"

listing=$(cd "$dir" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[[ "$listing" == "TC_Ombrels.wdx TC_Ombrels.wdx64 pluginst.inf readme.txt " ]] ||
  fail "holds '$listing'"
cmp -s "$dir/TC_Ombrels.wdx" "$wdx" || fail "TC_Ombrels.wdx differs from the build"
cmp -s "$dir/TC_Ombrels.wdx64" "$wdx64" || fail "TC_Ombrels.wdx64 differs from the build"

tr -d '\r' <"$dir/readme.txt" | grep -qx "Version $version" || fail "readme.txt does not name version $version"

inf="$dir/pluginst.inf"
grep -q $'\r$' "$inf" || fail "pluginst.inf lacks CRLF line ends"
inf_text=$(tr -d '\r' <"$inf")
[[ "$(head -n1 <<<"$inf_text")" == "[plugininstall]" ]] || fail "first line is not [plugininstall]"
for line in "type=wdx" "file=TC_Ombrels.wdx" "defaultdir=Ombrels"; do
  grep -qx "$line" <<<"$inf_text" || fail "pluginst.inf lacks '$line'"
done
grep -qE '^description=.+' <<<"$inf_text" || fail "pluginst.inf lacks a description"
[[ $(grep -c '=' <<<"$inf_text") == 4 ]] || fail "pluginst.inf holds unexpected entries"
echo "ok $zip: $listing"
