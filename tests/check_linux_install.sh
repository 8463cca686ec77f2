#!/usr/bin/env bash
# Checks what `cmake --install` put under PREFIX and what the Debian package
# holds: the module and the host tool, in their places, and both working
# when taken from there.
#   check_linux_install.sh PREFIX DEB VERSION
set -euo pipefail
prefix=$1 deb=$2 version=$3
fail() { echo "FAIL $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A demo install with one marked file, for the module to read.
export OMBRELS_REGISTRY_ROOT="$work/registry"
key="$OMBRELS_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels"
mkdir -p "$key" "$work/install"
printf '%s\0' "$work/install" >"$key/@"
printf '[Options]\r\nBasePerUser=0\r\n[Files]\r\n%s=2\r\n' "$work/marked.txt" >"$work/install/settings.ini"

# query TOOL MODULE : the tool loads the module and reads both files' values.
query() {
  local answer
  answer=$("$1" "$2" "$work/marked.txt" "$work/plain.txt" 2>&1) ||
    fail "$1 cannot query $2: $answer"
  grep -q '"Ombrel"  type 8' <<<"$answer" &&
    grep -qF "$work/marked.txt  8 (ft_string)  \"Cool\"" <<<"$answer" &&
    grep -qF "$work/plain.txt  -3 (ft_fieldempty)" <<<"$answer" ||
    fail "unexpected answer from $1 with $2: $answer"
}

files=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort | tr '\n' ' ')
[[ "$files" == "bin/wdxquery lib/ombrels/TC_Ombrels.wdx " ]] || fail "$prefix holds '$files'"
query "$prefix/bin/wdxquery" "$prefix/lib/ombrels/TC_Ombrels.wdx"
echo "ok $prefix: $files"

info=$(dpkg-deb -f "$deb" Package Version Architecture Depends) || fail "$deb is no Debian package"
field() { sed -n "s/^$1: //p" <<<"$info"; }
[[ "$(field Package)" == tc-ombrels ]] || fail "$deb: package '$(field Package)'"
[[ "$(field Version)" == "$version" ]] || fail "$deb: version '$(field Version)', expected $version"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] ||
  fail "$deb: architecture '$(field Architecture)'"
[[ "$(field Depends)" == *libc6* ]] || fail "$deb: depends on '$(field Depends)', without libc6"
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort | tr '\n' ' ')
[[ "$contents" == "./usr/bin/wdxquery ./usr/lib/ombrels/TC_Ombrels.wdx " ]] ||
  fail "$deb holds '$contents'"
dpkg-deb -x "$deb" "$work/root"
query "$work/root/usr/bin/wdxquery" "$work/root/usr/lib/ombrels/TC_Ombrels.wdx"
echo "ok $deb: $contents(depends: $(field Depends))"
