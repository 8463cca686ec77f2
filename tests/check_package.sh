#!/usr/bin/env bash
# Unpacks the plugin zip and checks what the host's installer will find: the
# entries that packaging/plugin-zip.list declares and no other; the modules
# and tools those of the tested Windows builds, byte for byte; each entry
# dated from SOURCE_DATE_EPOCH only (by default the time of the last commit):
#   check_package.sh ZIP WIN32-BUILD WIN64-BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zip=$1 win32=$2 win64=$3
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win64/CMakeCache.txt")
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
  stat -c %Y "$root/CMakeLists.txt")}
fail() { echo "FAIL $zip: $*" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir" || fail "cannot unpack"

declared=$(sed -n '/^[^#]/s/ .*//p' "$root/packaging/plugin-zip.list" | LC_ALL=C sort | tr '\n' ' ')
listing=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
[[ "$listing" == "$declared" ]] || fail "holds '$listing', packaging/plugin-zip.list declares '$declared'"
cmp -s "$dir/TC_Ombrels.wdx" "$win32/TC_Ombrels.wdx" || fail "TC_Ombrels.wdx differs from the 32-bit build's"
cmp -s "$dir/TC_Ombrels.wdx64" "$win64/TC_Ombrels.wdx64" || fail "TC_Ombrels.wdx64 differs from the 64-bit build's"
cmp -s "$dir/wdxquery.exe" "$win32/wdxquery.exe" || fail "wdxquery.exe differs from the 32-bit build's"
cmp -s "$dir/wdxquery64.exe" "$win64/wdxquery.exe" || fail "wdxquery64.exe differs from the 64-bit build's"
for tool in wdxquery.exe wdxquery64.exe; do
  size=$(stat -c %s "$dir/$tool")
  ((size < 600 * 1024)) || fail "$tool has $size bytes, more than 600 KiB"
done
cmp -s "$dir/LICENSE" "$root/LICENSE" || fail "LICENSE differs from the project's"
named=$(grep -rlF -e "$root" -e "$(dirname "$(realpath "$zip")")" -e "$(realpath "$win32")" \
  -e "$(realpath "$win64")" "$dir") && fail "names the source or build folder in $named"

# Entry dates are local time in steps of two seconds (zip rounds up); the
# zip is written in UTC. Every entry has mode 0644, and no extra fields
# (they would carry more dates).
dates=$(python3 - "$zip" "$epoch" <<'PY'
import calendar, sys, zipfile
epoch = int(sys.argv[2])
for entry in zipfile.ZipFile(sys.argv[1]).infolist():
    seconds = calendar.timegm(entry.date_time + (0, 0, 0))
    mode = entry.external_attr >> 16
    if not 0 <= seconds - epoch <= 1 or entry.extra or mode != 0o100644:
        print(f"{entry.filename} dated {seconds}, mode {mode:o}, extra {entry.extra!r}")
PY
) || fail "cannot read the entry dates"
[[ -z "$dates" ]] || fail "entries not dated from $epoch with mode 0644: $dates"

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
