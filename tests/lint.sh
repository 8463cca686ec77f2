#!/usr/bin/env bash
# clang-tidy (configuration in .clang-tidy) and cppcheck over every source of
# the product and its tools, as the compile databases list them:
#   tests/lint.sh NATIVE-BUILD-DIR
# The native build's compile_commands.json names what Linux compiles; a
# Windows Release build, configured here into NATIVE-BUILD-DIR/lint-windows,
# names the rest (the sources that only Windows compiles), which clang reads
# as the mingw-w64 target. The tests' own sources (tests/) are left out.
# Fails on any finding, on a tool that fails or is missing, and on a
# database that names no source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
cd "$root"
fail() { echo "lint: $*" >&2; exit 1; }
for tool in clang-tidy run-clang-tidy cppcheck x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh lint windows installs it)"
done
[[ -f "$build/compile_commands.json" ]] ||
  fail "$build has no compile_commands.json (configure it with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)"
windows="$build/lint-windows"
cmake --preset release-win64 -B "$windows" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$windows.log" 2>&1 ||
  { tail -n 20 "$windows.log" >&2; fail "could not configure the Windows build in $windows"; }
# The C++ headers of the mingw-w64 compiler, for clang reading the Windows sources.
mingw=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
[[ -d "$mingw/include/c++" ]] || fail "no C++ headers of mingw-w64 under $mingw"

# Two databases of the sources to check, in $build/lint/{native,windows}:
# the native build's entries outside tests/, and the Windows build's entries
# for the sources the native build does not compile, for clang.
python3 - "$root" "$build" "$windows" "$mingw" <<'PY' || fail "cannot read the compile databases"
import json, os, shlex, sys
root, build, windows, mingw = sys.argv[1:]
# The project's C and C++ sources: not the tests', not those a build makes.
skip = tuple(os.path.join(d, "") for d in (os.path.join(root, "tests"), build, windows))
def entries(folder):
    with open(os.path.join(folder, "compile_commands.json")) as f:
        for e in json.load(f):
            path = os.path.normpath(os.path.join(e["directory"], e["file"]))
            if (path.startswith(os.path.join(root, "")) and not path.startswith(skip)
                    and path.endswith((".c", ".cc", ".cpp", ".cxx"))):
                yield path, e
native = dict(entries(build))
only_windows = {path: e for path, e in entries(windows) if path not in native}
for path, e in only_windows.items():
    args = shlex.split(e["command"]) if "command" in e else e["arguments"]
    e.pop("command", None)
    # (CMake gives mingw a flag of GCC's own that clang does not know.)
    e["arguments"] = ["clang++", "--target=x86_64-w64-mingw32", "-isystem", f"{mingw}/include/c++",
                      "-isystem", f"{mingw}/include/c++/x86_64-w64-mingw32",
                      "-isystem", "/usr/x86_64-w64-mingw32/include"] + [
                          a for a in args[1:] if a != "-fno-keep-inline-dllexport"]
for name, found in (("native", native), ("windows", only_windows)):
    if not found:
        sys.exit(f"lint: no source to check in the {name} compile database")
    os.makedirs(os.path.join(build, "lint", name), exist_ok=True)
    with open(os.path.join(build, "lint", name, "compile_commands.json"), "w") as f:
        json.dump(list(found.values()), f, indent=1)
    print(f"{name}: {len(found)} sources: " + " ".join(sorted(os.path.relpath(p, root) for p in found)))
PY

status=0
# run NAME COMMAND... : a tool that exits non-zero or writes a finding fails the run.
run() {
  local name=$1 out code=0; shift
  echo "$name"
  out=$("$@" 2>&1) || code=$?
  if [[ $code != 0 ]] || grep -qE "(warning|error|style|performance|portability):" <<<"$out"; then
    # (run-clang-tidy always asks for colours.)
    sed 's/\x1b\[[0-9;]*m//g' <<<"$out" | grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2
    echo "lint: $name failed (exit $code)" >&2
    status=1
  fi
}
jobs=$(nproc)
run "clang-tidy: native sources" run-clang-tidy -quiet -j "$jobs" -p "$build/lint/native"
run "clang-tidy: Windows sources" run-clang-tidy -quiet -j "$jobs" -p "$build/lint/windows"
common=(--quiet --enable=warning,performance,portability --error-exitcode=1 --inline-suppr
        --suppress=missingIncludeSystem -j "$jobs")
run "cppcheck: native sources" cppcheck "${common[@]}" --project="$build/lint/native/compile_commands.json"
run "cppcheck: Windows sources" cppcheck "${common[@]}" -D_WIN32 -D_WIN64 \
  --project="$build/lint/windows/compile_commands.json"
[[ $status == 0 ]] || exit 1
echo "static checks: clean"
