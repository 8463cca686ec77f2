#!/usr/bin/env bash
# Installs a Release build with `cmake --install` and packs its Debian
# package with CPack twice, the second time with another umask, for the
# checks of the install and the package:
#   stage_linux_install.sh BUILD STAGE
# STAGE (emptied first) gets install/, and the package in first/ and again/.
set -euo pipefail
build=$1 stage=$2
rm -rf "$stage"
mkdir -p "$stage"
log="$stage/stage.log"
{
  cmake --install "$build" --prefix "$stage/install" &&
    (umask 0022 && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$stage/first") &&
    (umask 0077 && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$stage/again")
} >"$log" 2>&1 || { tail -n 20 "$log" >&2; echo "FAIL: could not install or pack $build" >&2; exit 1; }
echo "installed into $stage/install, packed into $stage/first and $stage/again"
