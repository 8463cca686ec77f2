#!/usr/bin/env bash
# clang-tidy (configuration in .clang-tidy) and cppcheck over the product
# and the host tool, both backends:  tests/lint.sh NATIVE-BUILD-DIR
# Fails on any finding, on a tool that fails or is missing, and on a build
# folder without its compile database.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
cd "$root"
native=(platform/os.cpp platform/Utf8.cpp platform/posix/PosixOs.cpp settings/*.cpp plugin/*.cpp
        translation/*.cpp tools/PluginModule.cpp tools/PluginModule_posix.cpp tools/wdxquery.cpp
        tools/Explain.cpp)
windows=(platform/win32/Win32Os.cpp tools/PluginModule_win32.cpp)
fail() { echo "lint: $*" >&2; exit 1; }
for tool in clang-tidy cppcheck x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh lint windows installs it)"
done
[[ -f "$build/compile_commands.json" ]] ||
  fail "$build has no compile_commands.json (configure it with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)"
# The C++ headers of the mingw-w64 compiler, for the Windows sources.
mingw=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
[[ -d "$mingw/include/c++" ]] || fail "no C++ headers of mingw-w64 under $mingw"

status=0
# run NAME COMMAND... : a tool that exits non-zero or writes a finding fails the run.
run() {
  local name=$1 out code=0; shift
  echo "$name"
  out=$("$@" 2>&1) || code=$?
  if [[ $code != 0 ]] || grep -qE "(warning|error|style|performance|portability):" <<<"$out"; then
    echo "$out" | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2
    echo "lint: $name failed (exit $code)" >&2
    status=1
  fi
}
run "clang-tidy: native sources" clang-tidy -p "$build" --quiet "${native[@]}"
run "clang-tidy: Windows sources" clang-tidy --quiet "${windows[@]}" -- --target=x86_64-w64-mingw32 \
  -std=c++20 -I. -isystem "$mingw/include/c++" -isystem "$mingw/include/c++/x86_64-w64-mingw32" \
  -isystem /usr/x86_64-w64-mingw32/include
common=(--quiet --enable=warning,performance,portability --std=c++20 --language=c++
        --error-exitcode=1 --inline-suppr -I . --suppress=missingIncludeSystem)
run "cppcheck: native sources" cppcheck "${common[@]}" "${native[@]}"
run "cppcheck: Windows sources" cppcheck "${common[@]}" -D_WIN32 -D_WIN64 "${windows[@]}"
[[ $status == 0 ]] || exit 1
echo "static checks: clean"
