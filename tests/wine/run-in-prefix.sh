#!/usr/bin/env bash
# Runs one Windows program in a fresh copy of the template prefix with a persistent wineserver,
# and returns the program's exit code. Used by ctest for the Win32 test programs.
# Usage: run-in-prefix.sh TEMPLATE_DIR PROGRAM.exe [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
template=$(realpath -m "$1"); shift
"$here/prepare-template.sh" "$template" || exit 1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/velkorin-prefix.XXXXXX")
cp -a "$template/." "$prefix/"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wineserver -p
# A folder the access tests can count on being read-only: Wine's access check follows the mode.
mkdir -p "$prefix/drive_c/velkorin-readonly"
chmod 555 "$prefix/drive_c/velkorin-readonly"
export VELKORIN_LOCKED_FOLDER='C:\velkorin-readonly'
# No display is needed by these programs: Wine's null driver keeps them windowless and fast.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wine "$@"
code=$?
wineserver -k
wineserver -w
rm -rf "$prefix"
exit $code
