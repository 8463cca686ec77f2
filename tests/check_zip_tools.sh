#!/usr/bin/env bash
# The host tool as it ships: unpacks the plugin zip into a fresh folder, as
# the host's installer would, and runs the zipped tool of one bitness there
# under its wine, without naming a module, on a file without a mark and on
# a translated mark. Each explanation must end with the module's own answer
# agreeing. For the 64-bit tool, the example in readme.txt must be what the
# tool prints (its long lines wrapped as the readme wraps them).
#   check_zip_tools.sh ZIP BITS WINE
# with WINEPREFIX (a prefix of that bitness) and WINEDEBUG set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zip=$1 bits=$2 wine=$3
tool=$([[ $bits == 64 ]] && echo wdxquery64.exe || echo wdxquery.exe)
fail() { echo "FAIL $tool (zipped) under $(basename "$wine"): $*" >&2; exit 1; }

dir=$(mktemp -d)
install="$WINEPREFIX/drive_c/Ombrels"
[[ -e "$install" ]] && fail "$install is in the way"
key='HKLM\Software\Quorvel\Ombrels'
cleanup() {
  rm -rf "$dir" "$install"
  "$wine" reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true
}
trap cleanup EXIT
unzip -q "$zip" -d "$dir" || fail "cannot unpack $zip"

# An install of the marking program: Holiday.jpg was marked in C:\Photos,
# and that folder has since been renamed to C:\Pictures.
mkdir -p "$install/langs"
printf '[Options]\r\nBasePerUser=0\r\n[Translate]\r\nCurLang=Deutsch\r\n[Files]\r\n%s\r\n%s\r\n' \
  'C:\Photos\Holiday.jpg=2' 'C:\Photos\Beach.jpg=7' >"$install/settings.ini"
cp "$root/demo/langs/Deutsch" "$install/langs/"
"$wine" reg add "$key" /ve /d 'C:\Ombrels' /f /reg:32 >/dev/null ||
  fail "cannot set the install directory in the registry"

# explain FILE : the tool's explanation, without CRs; fails unless the tool
# and its module agree.
explain() {
  local out
  out=$(cd "$dir" && "$wine" "$tool" --explain "$1" 2>&1) || fail "exit $? for $1: $out"
  out=$(tr -d '\r' <<<"$out")
  [[ $(tail -n 1 <<<"$out") == "  module: "*", the same" ]] ||
    fail "the module does not agree for $1: $out"
  echo "$out"
}
missing=$(explain 'C:\Pictures\Holiday.jpg')
grep -qx '  value: -3 (ft_fieldempty) ""' <<<"$missing" || fail "no empty value: $missing"
grep -qx '      "C:\\Photos\\Holiday.jpg"' <<<"$missing" || fail "no key of the same name: $missing"
translated=$(explain 'C:\Photos\Holiday.jpg')
grep -qx '  value: 8 (ft_string) "Klasse"' <<<"$translated" || fail "not translated: $translated"
echo "ok $tool (zipped) under $(basename "$wine"): explains a missing and a translated mark"

if [[ $bits == 64 ]]; then
  # The readme's example: the lines between the command and the blank line
  # after it, indented by two, each line over 78 columns broken at a blank
  # and carried on four columns further in.
  example=$(tr -d '\r' <"$dir/readme.txt" |
    awk '/^  > wdxquery64.exe --explain "C:\\Pictures\\Holiday.jpg"$/ {on = 1; next} on && /^$/ {exit} on')
  expected=$(awk '{
      line = "  " $0; match(line, /^ */); more = substr(line, 1, RLENGTH) "    "
      while (length(line) > 78) {
        cut = 79; while (cut > length(more) && substr(line, cut, 1) != " ") cut--
        if (cut <= length(more)) break
        print substr(line, 1, cut - 1)
        line = more substr(line, cut + 1)
      }
      print line
    }' <<<"$missing")
  [[ "$example" == "$expected" ]] ||
    fail "readme.txt's example is not what the tool prints: $(diff <(echo "$expected") <(echo "$example"))"
  echo "ok readme.txt: its example is what $tool prints"
fi
