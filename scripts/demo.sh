#!/usr/bin/env bash
# Installs what is missing, builds everything, turns examples/demo into a setup file, shows what
# is inside it, and runs it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
out=build/demo
mkdir -p "$out"
pack=build/velkorin-pack
echo "== velkorin-pack build examples/demo/demo.toml -o $out/setup.exe"
"$pack" build examples/demo/demo.toml -o "$out/setup.exe"
echo "== velkorin-pack inspect $out/setup.exe   (header and first records, then the file table)"
"$pack" inspect "$out/setup.exe" > "$out/inspect.txt"
head -n 24 "$out/inspect.txt"
echo "   ..."
sed -n '/^file area/,$p' "$out/inspect.txt"
echo "== wine setup.exe S   (a silent installation in a throwaway Wine prefix)"
tests/wine/prepare-template.sh build/wine-template
prefix=$(mktemp -d /tmp/velkorin-demo.XXXXXX)
cp -a build/wine-template/. "$prefix/"
set +e
WINEPREFIX=$prefix WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" WINEDEBUG=-all,+debugstr \
  wine "$out/setup.exe" S 2>&1 | sed -n 's/.*OutputDebugStringA "\(.*\)"/\1/p'
code=${PIPESTATUS[0]}
set -e
installed="$prefix/drive_c/Program Files/Velkorin Demo"
echo "== installed into C:\\Program Files\\Velkorin Demo:"
(cd "$installed" && find . -type f | sort | sed 's/^/   /')
echo "== its install log (what the uninstaller will undo), first lines:"
head -n 12 "$installed/uninstall.log" | sed 's/^/   /'
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
rm -rf "$prefix"
echo "== exit code $code (0: installed; 3010: installed, restart pending; 2: failed)"
