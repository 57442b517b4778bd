#!/usr/bin/env bash
# Runs a command as it would run on a kernel without 32-bit support: every i386 program it starts
# runs under qemu's user-mode emulation. The emulation is registered in a private binfmt_misc
# instance of a new user and mount namespace (Linux 6.7 or later), so the rest of the machine
# keeps running 32-bit programs natively. Needs qemu-user 10 (bookworm-backports) and wine32-preloader
# (`VELKORIN_EMULATE_I386=1 bash scripts/setup.sh` installs them).
# Usage: scripts/emulated.sh COMMAND [ARGS...]   e.g. scripts/emulated.sh ctest --preset default
set -euo pipefail
qemu=/usr/bin/qemu-i386
[ -x "$qemu" ] || { echo "emulated.sh: $qemu is missing (VELKORIN_EMULATE_I386=1 bash scripts/setup.sh)" >&2; exit 1; }
[ $# -gt 0 ] || { echo "usage: scripts/emulated.sh COMMAND [ARGS...]" >&2; exit 2; }
if [ "${1:-}" != "--inside" ]; then
  exec unshare --user --map-root-user --mount --propagation private "$0" --inside "$@"
fi
shift
if ! mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null; then
  echo "emulated.sh: this kernel has no private binfmt_misc instances (Linux 6.7 or later needed)" >&2
  exit 1
fi
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:F" >/proc/sys/fs/binfmt_misc/register
exec "$@"
