#!/usr/bin/env bash
# Makes the template Wine prefix that every test copies, once per build folder: fast settings
# (null display driver unless a test asks for X11, no desktop integration), and the home-folder
# links of a fresh prefix replaced by real folders so that no test writes into the real $HOME.
# Usage: prepare-template.sh TEMPLATE_DIR   (safe to call concurrently and repeatedly)
set -euo pipefail
template=$(realpath -m "$1")  # Wine wants an absolute prefix path
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
# A template made before the 32-bit setting (a 64-bit one) is made again.
[ -f "$template/.ready" ] && grep -qx "#arch=win32" "$template/system.reg" 2>/dev/null && exit 0
rm -rf "$template"
# The stub is a 32-bit program: with wine64 installed a prefix would otherwise be a 64-bit one,
# with "Program Files (x86)" and a second registry view, and nothing would be where tests look.
export WINEARCH=win32 WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# A first start of Wine can hang under emulation (seen with qemu-user): each try has a time limit,
# and a try that runs out is ended and started over in an empty prefix.
scale=${VELKORIN_TIME_SCALE:-}
if [ -z "$scale" ]; then
  scale=1
  head -n1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null | grep -qx enabled && scale=4
fi
for try in 1 2 3; do
  timeout -k 10 $((90 * scale)) wineboot -i >/dev/null 2>&1 && break
  echo "prepare-template: wineboot -i did not finish (try $try of 3)" >&2
  wineserver -k >/dev/null 2>&1 || true
  [ "$try" = 3 ] && exit 1
  rm -rf "$template"
done
find "$WINEPREFIX/drive_c/users" -type l | while read -r link; do
  rm -f "$link"
  mkdir -p "$link"
done
# Without a window manager each window close would wait 2 s; unmanaged windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
touch "$template/.ready"
