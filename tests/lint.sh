#!/usr/bin/env bash
# clang-tidy (configuration in .clang-tidy) and cppcheck over the product
# and the host tool, both backends:  tests/lint.sh NATIVE-BUILD-DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
cd "$root"
native=(platform/os.cpp platform/Utf8.cpp platform/posix/PosixOs.cpp settings/*.cpp plugin/*.cpp
        translation/*.cpp tools/PluginModule.cpp tools/PluginModule_posix.cpp tools/wdxquery.cpp
        tools/Explain.cpp)
windows=(platform/win32/Win32Os.cpp tools/PluginModule_win32.cpp)
mingw=/usr/lib/gcc/x86_64-w64-mingw32/12-posix

status=0
echo "clang-tidy: native sources"
clang-tidy -p "$build" --quiet "${native[@]}" 2>/dev/null | grep -E "warning:|error:" && status=1
echo "clang-tidy: Windows sources"
clang-tidy --quiet "${windows[@]}" -- --target=x86_64-w64-mingw32 -std=c++20 -I. \
  -isystem "$mingw/include/c++" -isystem "$mingw/include/c++/x86_64-w64-mingw32" \
  -isystem /usr/x86_64-w64-mingw32/include 2>/dev/null | grep -E "warning:|error:" && status=1
echo "cppcheck"
common=(--quiet --enable=warning,performance,portability --std=c++20 --language=c++
        --error-exitcode=1 --inline-suppr -I . --suppress=missingIncludeSystem)
cppcheck "${common[@]}" "${native[@]}" || status=1
cppcheck "${common[@]}" -D_WIN32 -D_WIN64 "${windows[@]}" || status=1
[[ $status == 0 ]] && echo "static checks: clean"
exit $status
