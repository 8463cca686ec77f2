#!/usr/bin/env bash
# Checks what `cmake --install` put under PREFIX and what the Debian package
# holds: the package the same files as the install (the install rules in
# cmake/LinuxPackage.cmake declare them); the module and the host tool in
# their places, and both working when taken from there; the manual page,
# copyright and changelog; no path of the build in either; the package
# accepted by lintian without a remark, and every file in it dated from
# SOURCE_DATE_EPOCH, by default the time of the last commit.
#   check_linux_install.sh PREFIX DEB VERSION
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$1 deb=$2 version=$3
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
  stat -c %Y "$root/CMakeLists.txt")}
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

# docs TREE : the manual page names this version, the changelog's latest
# entry is this version, the copyright file is machine-readable; no file
# names the source or build folder.
docs() {
  gzip -dc "$1/share/man/man1/wdxquery.1.gz" | grep -q "^\.TH WDXQUERY 1 .*TC_Ombrels $version" ||
    fail "$1: the manual page of wdxquery is not that of $version"
  [[ "$(gzip -dc "$1/share/doc/tc-ombrels/changelog.gz" | head -n1)" == "tc-ombrels ($version) "* ]] ||
    fail "$1: the changelog's latest entry is not $version"
  head -n1 "$1/share/doc/tc-ombrels/copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$1: the copyright file is not machine-readable"
  local named
  named=$(grep -rlF -e "$root" -e "$(dirname "$deb")" "$1") && fail "$1: names the build folder in $named"
  return 0
}
files=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
query "$prefix/bin/wdxquery" "$prefix/lib/ombrels/TC_Ombrels.wdx"
docs "$prefix"
echo "ok $prefix: $files"

info=$(dpkg-deb -f "$deb" Package Version Architecture Depends) || fail "$deb is no Debian package"
field() { sed -n "s/^$1: //p" <<<"$info"; }
[[ "$(field Package)" == tc-ombrels ]] || fail "$deb: package '$(field Package)'"
[[ "$(field Version)" == "$version" ]] || fail "$deb: version '$(field Version)', expected $version"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] ||
  fail "$deb: architecture '$(field Architecture)'"
[[ "$(field Depends)" == *libc6* ]] || fail "$deb: depends on '$(field Depends)', without libc6"
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort | tr '\n' ' ')
[[ "$contents" == "$(sed 's|[^ ]\+|./usr/&|g' <<<"$files")" ]] ||
  fail "$deb holds '$contents', the install '$files'"
dpkg-deb -x "$deb" "$work/root"
query "$work/root/usr/bin/wdxquery" "$work/root/usr/lib/ombrels/TC_Ombrels.wdx"
docs "$work/root/usr"
[[ -z "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'postinst|postrm|preinst|prerm')" ]] ||
  fail "$deb has maintainer scripts"
# The archive members and every file and folder in them carry the date.
dates=$(export TZ=UTC
        { dpkg-deb --ctrl-tarfile "$deb" | tar -tv --full-time
          dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time; } | awk '{print $4 " " $5}'
        ar tv "$deb" | awk '{print $4, $5, $6, $7}')
want="$(TZ=UTC date -d "@$epoch" '+%F %T')"$'\n'"$(TZ=UTC date -d "@$epoch" '+%b %-d %H:%M %Y')"
[[ "$(sort -u <<<"$dates")" == "$(sort <<<"$want")" ]] ||
  fail "$deb is not dated from $epoch ($want) alone: $(sort -u <<<"$dates" | tr '\n' ',')"
# Tags that lintian only reports as information are not asked for.
remarks=$(lintian --fail-on error,warning "$deb" 2>/dev/null) || fail "lintian rejects $deb: $remarks"
[[ -z "$remarks" ]] || fail "lintian remarks on $deb: $remarks"
echo "ok $deb: $contents(depends: $(field Depends)); dated ${want//$'\n'/ and }; lintian: nothing"
