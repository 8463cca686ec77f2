#!/usr/bin/env bash
# Unpacks the plugin zip and checks what the host's installer will find,
# and that the zip is dated from EPOCH (SOURCE_DATE_EPOCH) only:
#   check_package.sh ZIP WDX WDX64 WDXQUERY32.EXE WDXQUERY64.EXE VERSION EPOCH
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zip=$1 wdx=$2 wdx64=$3 tool32=$4 tool64=$5 version=$6 epoch=$7
fail() { echo "FAIL $zip: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir" || fail "cannot unpack"

listing=$(cd "$dir" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[[ "$listing" == "LICENSE TC_Ombrels.wdx TC_Ombrels.wdx64 pluginst.inf readme.txt wdxquery.exe wdxquery64.exe " ]] ||
  fail "holds '$listing'"
cmp -s "$dir/TC_Ombrels.wdx" "$wdx" || fail "TC_Ombrels.wdx differs from the build"
cmp -s "$dir/TC_Ombrels.wdx64" "$wdx64" || fail "TC_Ombrels.wdx64 differs from the build"
cmp -s "$dir/wdxquery.exe" "$tool32" || fail "wdxquery.exe differs from the 32-bit build's"
cmp -s "$dir/wdxquery64.exe" "$tool64" || fail "wdxquery64.exe differs from the 64-bit build's"
for tool in wdxquery.exe wdxquery64.exe; do
  size=$(stat -c %s "$dir/$tool")
  ((size < 600 * 1024)) || fail "$tool has $size bytes, more than 600 KiB"
done
cmp -s "$dir/LICENSE" "$root/LICENSE" || fail "LICENSE differs from the project's"
named=$(grep -rlF -e "$root" -e "$(dirname "$wdx")" -e "$(dirname "$wdx64")" "$dir") &&
  fail "names the source or build folder in $named"

# Entry dates are local time in steps of two seconds (zip rounds up); the
# zip is written in UTC. No extra fields (they would carry more dates).
dates=$(python3 - "$zip" "$epoch" <<'EOF'
import calendar, sys, zipfile
epoch = int(sys.argv[2])
for entry in zipfile.ZipFile(sys.argv[1]).infolist():
    seconds = calendar.timegm(entry.date_time + (0, 0, 0))
    if not 0 <= seconds - epoch <= 1 or entry.extra:
        print(f"{entry.filename} dated {seconds}, extra {entry.extra!r}")
EOF
) || fail "cannot read the entry dates"
[[ -z "$dates" ]] || fail "entries not dated from $epoch: $dates"

tr -d '\r' <"$dir/readme.txt" | grep -qx "Version $version" || fail "readme.txt does not name version $version"
# Read in Notepad: Windows line ends, and lines of at most 78 characters.
awk '!/\r$/ {print "line " NR " lacks its CR"} length($0) > 79 {print "line " NR " is longer than 78"}' \
  "$dir/readme.txt" | head -n 3 |
  grep . && fail "readme.txt is not in lines of at most 78 characters with CR LF"

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
