#!/usr/bin/env python3
"""Bytes of the stub by object file and section, from the linker map (largest first)."""
import collections, re, sys

path = sys.argv[1] if len(sys.argv) > 1 else "build/win32/velkorin.map"
lines = open(path).read().split("\n")
totals = collections.Counter()
output = None
pending = None
for line in lines:
    m = re.match(r"^(\.\w+)\s", line)
    if m:
        output = m.group(1)
        continue
    m = re.match(r"^ (\.\S+)\s*$", line)
    if m:
        pending = m.group(1)
        continue
    m = re.match(r"^ (\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)", line)
    if m and int(m.group(2), 16) > 0 and output not in (".bss",):
        totals[(output, m.group(4).split("/")[-1])] += int(m.group(3), 16)
    pending = None
for (section, obj), size in totals.most_common(int(sys.argv[2]) if len(sys.argv) > 2 else 30):
    print(f"{size:7d}  {section:8s} {obj}")
