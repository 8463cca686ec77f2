#!/usr/bin/env bash
# Checks a Windows module's tables as the host and a bare Windows see them:
#   check_pe_tables.sh OBJDUMP MODULE FORMAT EXPORT_NAME
# FORMAT is pei-i386 or pei-x86-64. Fails on any difference from: exactly
# ContentGetValue at ordinal 1 and ContentGetSupportedField at ordinal 2,
# undecorated; the export directory named EXPORT_NAME; imports only from
# DLLs that every Windows has; on i686, functions that remove their own
# arguments (ret 24 and ret 16).
set -euo pipefail
objdump=$1 module=$2 format=$3 name=$4
fail() { echo "FAIL $module: $*" >&2; exit 1; }

dump=$("$objdump" -p "$module") || fail "objdump failed"

grep -q "file format $format\$" <<<"$dump" || fail "file format is not $format"

dir_name=$(awk '/^Name[ \t]+[0-9a-f]+ /{print $3}' <<<"$dump")
[[ "$dir_name" == "$name" ]] || fail "export directory name is '$dir_name', expected '$name'"

base=$(awk '/^Ordinal Base/{print $3}' <<<"$dump")
# The name pointer table: "[index] name"; the ordinal is base + index.
name_table=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -nE 's/^\t\[ *([0-9]+)\] (.+)$/\2 \1/p')
exports=$(awk -v base="$base" '{print $1 "@" $2 + base}' <<<"$name_table" | sort | tr '\n' ' ')
[[ "$exports" == "ContentGetSupportedField@2 ContentGetValue@1 " ]] ||
  fail "exports are '$exports', expected ContentGetSupportedField@2 ContentGetValue@1"
count=$(awk '/Export RVA/{n++} END{print n+0}' <<<"$dump")
[[ "$count" == 2 ]] || fail "$count entries in the export address table, expected 2"

allowed=" kernel32.dll advapi32.dll shell32.dll user32.dll msvcrt.dll ole32.dll shlwapi.dll "
while read -r dll; do
  [[ "$allowed" == *" ${dll,,} "* ]] || fail "imports from $dll, which a bare Windows lacks"
done < <(awk '/DLL Name:/{print $3}' <<<"$dump")

if [[ "$format" == pei-i386 ]]; then
  image_base=$(awk '/^ImageBase/{print $2}' <<<"$dump")
  for export in ContentGetValue:18 ContentGetSupportedField:10; do
    fn=${export%%:*} bytes=${export##*:}
    index=$(awk -v n="$fn" '$1 == n {print $2}' <<<"$name_table")
    rva=$(sed -nE "s/^\t\[ *$index\] \+base\[ *[0-9]+\] +([0-9a-f]+) Export RVA$/\1/p" <<<"$dump")
    start=$((0x$image_base + 0x$rva))
    ret=$("${objdump}" -d --start-address=$start --stop-address=$((start + 0x800)) "$module" |
      grep -m1 -E $'\tret' || true)
    [[ "$ret" == *"ret    \$0x$bytes"* ]] ||
      fail "$fn does not remove its own arguments (first return: '${ret##*$'\t'}')"
  done
fi
echo "ok $module: $format, $exports, imports $(awk '/DLL Name:/{printf "%s ", $3}' <<<"$dump")"
