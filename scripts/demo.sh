#!/usr/bin/env bash
# Builds the native module and shows it answering the field "Ombrel" for a
# few demo files, through the host tool, from a demo install made in a
# temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" build

build="$root/build/demo"
mkdir -p "$build"
echo "Building the native module in $build ..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOMBRELS_BUILD_TESTS=OFF &&
       cmake --build "$build" -j"$(nproc)" --target TC_Ombrels wdxquery; } >"$build.log" 2>&1; then
  tail -n 30 "$build.log" >&2
  echo "demo: the build failed (full log: $build.log)" >&2
  exit 1
fi

demo=$(mktemp -d -t ombrels-demo.XXXXXX)
trap 'rm -rf "$demo"' EXIT
install="$demo/Ombrels"
files="$demo/Pictures"
mkdir -p "$install" "$files"

# The registry stand-in: the install directory is the default value of
# HKEY_LOCAL_MACHINE\Software\Quorvel\Ombrels, stored with its terminating zero.
export OMBRELS_REGISTRY_ROOT="$demo/registry"
mkdir -p "$OMBRELS_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels"
printf '%s\0' "$install" >"$OMBRELS_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@"

# The bundled language file, and the store as the marking program writes it.
mkdir -p "$install/langs"
cp "$root/demo/langs/Deutsch" "$install/langs/"
names=(Receipt.txt Holiday.jpg Report.pdf Budget.xlsx Old.log Contract.pdf Draft.doc Unmarked.txt)
store() { # store LANGUAGE
  {
    printf '[Options]\r\nBasePerUser=0\r\n'
    [[ -n "$1" ]] && printf '[Translate]\r\nCurLang=%s\r\n' "$1"
    printf '[Files]\r\n'
    printf '%s=0\r\n' "$files/Receipt.txt"
    printf '%s=2\r\n' "$files/Holiday.jpg"
    printf '%s=8\r\n' "$files/Report.pdf"
    printf '%s=11\r\n' "$files/Budget.xlsx"
    printf '%s=-5\r\n' "$files/Old.log"
    printf '%s=7\r\n' "$files/Contract.pdf"
    printf '%s=4\r\n' "$files/Draft.doc"
  } >"$install/settings.ini"
}
for n in "${names[@]}"; do touch "$files/$n"; done

store ""
echo
echo "Demo install: $install (settings.ini below)"
sed 's/\r$//; s/^/    /' "$install/settings.ini"
echo
echo "### In English (no language chosen, no langs/Default)"
"$build/wdxquery" "$build/TC_Ombrels.wdx" "${names[@]/#/$files/}"

store Deutsch
echo
echo "### In German: [Translate] CurLang=Deutsch names langs/Deutsch (\\n is its line break)"
"$build/wdxquery" "$build/TC_Ombrels.wdx" "${names[@]/#/$files/}"
