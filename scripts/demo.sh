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
echo "== velkorin-pack inspect $out/setup.exe"
"$pack" inspect "$out/setup.exe"
echo "== wine setup.exe S   (in a throwaway prefix; the stub reports what it read to the debugger channel)"
tests/wine/prepare-template.sh build/wine-template
prefix=$(mktemp -d /tmp/velkorin-demo.XXXXXX)
cp -a build/wine-template/. "$prefix/"
set +e
WINEPREFIX=$prefix WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" WINEDEBUG=-all,+debugstr \
  wine "$out/setup.exe" S 2>&1 | sed -n 's/.*OutputDebugStringA "\(.*\)"/\1/p'
code=${PIPESTATUS[0]}
set -e
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
rm -rf "$prefix"
echo "== exit code $code (2: the package was verified and read; installing comes with the install engine)"
