#!/usr/bin/env bash
# inflate-speed.sh -- the stub's inflater built with its inner loop (inffast.c) at -Os and at -O2,
# timed under Wine on a realistic mixture (the "small" payload of make-payload.py, deflated at
# level 9 in one stream), alternating, ROUNDS inflations per run, RUNS runs each. Prints the
# user CPU seconds and MB/s of each run and the size of inffast.c's code at each level.
# Usage: bash bench/inflate-speed.sh     Environment: RUNS=3 ROUNDS=10, VELKORIN_BUILD, KEEP=1
set -euo pipefail
source "$(dirname "$0")/common.sh"
zlib=$bench_root/third_party/zlib-src
bench_start velkorin-inflate
cc=i686-w64-mingw32-gcc
flags=(-DZ_SOLO -DNO_GZIP -DBUILDFIXED -w -I"$zlib")
python3 "$bench_root/bench/make-payload.py" small "$work/small" >/dev/null
python3 - "$work/small/payload" "$work/stream.z" <<'PY'
import os, sys, zlib
data = bytearray()
for root, folders, files in os.walk(sys.argv[1]):
    folders.sort()
    for name in sorted(files):
        with open(os.path.join(root, name), "rb") as f:
            data += f.read()
compressor = zlib.compressobj(9)
with open(sys.argv[2], "wb") as f:
    f.write(compressor.compress(bytes(data)) + compressor.flush())
PY
(cd "$work" && $cc -Os "${flags[@]}" -c "$zlib"/inflate.c "$zlib"/inftrees.c "$zlib"/adler32.c "$zlib"/zutil.c)
for level in Os O2; do
  $cc -$level "${flags[@]}" -c "$zlib/inffast.c" -o "$work/inffast-$level.o"
  echo "inffast.c at -$level: $(i686-w64-mingw32-size "$work/inffast-$level.o" | awk 'NR == 2 { print $1 }') bytes of code"
  $cc -O2 "${flags[@]}" "$bench_root/bench/inflate_speed.c" "$work"/{inflate,inftrees,adler32,zutil}.o \
    "$work/inffast-$level.o" -o "$work/speed-$level.exe"
done
bench_prefix >/dev/null
for ((r = 1; r <= ${RUNS:-3}; r++)); do
  for level in Os O2; do echo "run $r, -$level: $(wine "$work/speed-$level.exe" "$work/stream.z" "${ROUNDS:-10}")"; done
done
