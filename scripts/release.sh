#!/usr/bin/env bash
# Builds what a release ships, without running a test, into build/release/:
# TC_Ombrels.zip (for Total Commander), the Debian package of the Linux
# module and tool, and SHA256SUMS of the two. One commit always gives the
# same bytes.
# The three Release builds are the workflow presets release-linux (which
# also packs the .deb), release-win32 and release-win64 (CMakePresets.json);
# a workflow runs one configure preset, so this script runs the three, then
# packs the zip from the two Windows builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -eq 0 ]] || { echo "usage: $0" >&2; exit 2; }
"$root/scripts/deps.sh" release
# The headers of the .deb's members keep their files' modes, which the umask
# would set.
umask 0022
builds="$root/build"
out="$builds/release"
mkdir -p "$builds"
cd "$root"
for preset in release-linux release-win32 release-win64; do
  log="$builds/$preset.log"
  echo "workflow $preset (log: $log)"
  cmake --workflow --preset "$preset" >"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; echo "release: the workflow $preset failed (full log: $log)" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"
"$root/scripts/package.sh" "$builds/release-win32" "$builds/release-win64" "$out/TC_Ombrels.zip" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/release-linux/CMakeCache.txt")
deb="tc-ombrels_${version}_$(dpkg --print-architecture).deb"
cp "$builds/release-linux/$deb" "$out/$deb"
(cd "$out" && sha256sum TC_Ombrels.zip "$deb" >SHA256SUMS)
echo "wrote $out:"
sed 's/^/  /' "$out/SHA256SUMS"
