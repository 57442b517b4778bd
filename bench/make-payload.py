#!/usr/bin/env python3
"""make-payload.py -- writes a realistic, deterministic benchmark payload.

Usage: make-payload.py KIND OUTPUT_DIR

KIND        files   bytes     what
tiny           24   ~0.3 MB   the CI smoke run
small         300   ~20 MB    source and text files, PE-like binaries, compressed blobs
large       2,000   ~200 MB   the same mix, plus two 50 MB files (a log and a data pack)
files2000   2,000   ~5 MB     small text files only: the per-file cost
files4000   4,000   ~10 MB    twice as many: install time should double, not quadruple

OUTPUT_DIR/payload holds the files: deep folders, names with blanks, empty files and a few
empty folders. OUTPUT_DIR/manifest.sha256 lists every file (sha256sum format, paths relative
to payload), OUTPUT_DIR/folders.txt every folder (empty ones included). The same KIND gives
the same bytes on every machine and run (fixed seeds, no time or locale in the output).
"""
import hashlib
import os
import random
import sys

KINDS = {
    # text, pe, blob, tiny (<= 2 KB, some empty), folders, empty folders, big files
    "tiny": dict(text=8, pe=4, blob=3, tiny=9, folders=6, empty_folders=1, big=False, scale=0.25),
    "small": dict(text=120, pe=60, blob=40, tiny=80, folders=40, empty_folders=3, big=False, scale=1.2),
    "large": dict(text=900, pe=400, blob=198, tiny=500, folders=300, empty_folders=8, big=True, scale=0.9),
    "files2000": dict(text=0, pe=0, blob=0, tiny=0, small_text=2000, folders=40, empty_folders=0, big=False, scale=1.0),
    "files4000": dict(text=0, pe=0, blob=0, tiny=0, small_text=4000, folders=80, empty_folders=0, big=False, scale=1.0),
}

WORDS = ("int char return static const struct void include define while for if else switch case break "
         "the of and to in is that it for on with as was by this be are from at or an have not which "
         "value name path file folder install setup error buffer length count index result state "
         "Windows registry version program data user system default option string list table").split()


def make_lines(rng, count):
    lines = []
    for i in range(count):
        kind = i % 4
        n = 3 + rng.randrange(12)
        words = " ".join(rng.choice(WORDS) for _ in range(n))
        if kind == 0:
            lines.append("    %s = %s(%d);\r\n" % (rng.choice(WORDS), rng.choice(WORDS), rng.randrange(100000)))
        elif kind == 1:
            lines.append("// %s\r\n" % words)
        elif kind == 2:
            lines.append("%s.\r\n" % words.capitalize())
        else:
            lines.append("2026-%02d-%02d %02d:%02d:%02d [%s] %s\r\n" % (
                1 + rng.randrange(12), 1 + rng.randrange(28), rng.randrange(24), rng.randrange(60),
                rng.randrange(60), rng.choice(("info", "warn", "debug")), words))
    return lines


def text_bytes(rng, lines, size):
    out, have = [], 0
    while have < size:
        chunk = rng.choices(lines, k=256)
        out.extend(chunk)
        have += sum(len(c) for c in chunk)
    return "".join(out).encode("ascii")[:size]


def pe_bytes(rng, pool, size):
    """An executable's look: a DOS and PE header, code-like bytes, zero padding, a string table."""
    head = bytearray(1024)
    head[0:2] = b"MZ"
    head[0x3C:0x40] = (0x80).to_bytes(4, "little")
    head[0x80:0x84] = b"PE\0\0"
    head[0x84:0x86] = (0x14C).to_bytes(2, "little")
    out = [bytes(head)]
    have = len(head)
    while have < size:
        choice = rng.randrange(10)
        if choice < 6:   # code: slices of a pool of machine-code-like bytes
            start = rng.randrange(len(pool) - 8192)
            piece = pool[start:start + 512 + rng.randrange(7680)]
        elif choice < 8:  # section padding
            piece = bytes(512 * (1 + rng.randrange(8)))
        else:             # strings and import names
            piece = b"\0".join(w.encode() for w in rng.choices(WORDS, k=64)) + b"\0"
        out.append(piece)
        have += len(piece)
    return b"".join(out)[:size]


def folder_tree(rng, count):
    names = ["bin", "lib", "data", "docs", "Help Files", "plug-ins", "Sample Projects", "locale",
             "res", "My Templates", "x86", "share", "include", "Release Notes"]
    folders = [""]
    while len(folders) < count + 1:
        parent = rng.choice(folders)
        if parent.count("/") >= 7:
            continue
        name = rng.choice(names) + ("" if rng.randrange(3) else " %d" % rng.randrange(100))
        path = (parent + "/" if parent else "") + name
        if path not in folders:
            folders.append(path)
    return folders


def size_around(rng, mean, scale):
    return max(1, int(rng.lognormvariate(0, 0.8) * mean * scale / 1.377))  # 1.377: mean of lognormal(0, 0.8)


def plan_files(kind, rng):
    k = KINDS[kind]
    folders = folder_tree(rng, k["folders"])
    empty = set(rng.sample(folders[1:], k["empty_folders"])) if k["empty_folders"] else set()
    homes = [f for f in folders if f not in empty]
    files = []  # (relative path, kind, size)
    def add(kind_name, count, mean, ext):
        for i in range(count):
            folder = rng.choice(homes)
            stem = rng.choice(WORDS) + ("" if rng.randrange(4) else " copy") + "_%d" % i
            size = size_around(rng, mean, k["scale"])
            files.append(((folder + "/" if folder else "") + stem + rng.choice(ext), kind_name, size))
    add("text", k["text"], 48 * 1024, (".c", ".h", ".txt", ".xml", ".ini"))
    add("pe", k["pe"], 80 * 1024, (".dll", ".exe", ".ocx"))
    add("blob", k["blob"], 160 * 1024, (".zip", ".png", ".cab", ".jpg"))
    add("tiny", k["tiny"], 600, (".cfg", ".url", ".txt"))
    add("small_text", k.get("small_text", 0), 2500, (".txt", ".ini", ".h"))
    for i in range(len(files) // 25):  # every 25th a file of 0 bytes
        path, _, _ = files[i * 25]
        files[i * 25] = (path, "empty", 0)
    if k["big"]:
        files.append(("data/Game Data/level data.pak", "bigpe", 50 * 1024 * 1024))
        files.append(("logs/full trace.log", "bigtext", 50 * 1024 * 1024))
        folders += ["data", "data/Game Data", "logs"]
    return sorted(set(folders)), files


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in KINDS:
        sys.exit("usage: make-payload.py {%s} OUTPUT_DIR" % ",".join(KINDS))
    kind, out = sys.argv[1], sys.argv[2]
    rng = random.Random("velkorin-bench-" + kind)
    data_rng = random.Random(20261207)
    lines = make_lines(data_rng, 6000)
    pool = bytes(data_rng.choice(b"\x8b\x45\x89\xe8\x00\x50\x83\xc4\x0f\x85\x74\xff\x55\x8d\xc3\x33")
                 if data_rng.randrange(3) else data_rng.randrange(256) for _ in range(1 << 18))
    folders, files = plan_files(kind, rng)
    payload = os.path.join(out, "payload")
    for folder in folders:
        os.makedirs(os.path.join(payload, folder), exist_ok=True)
    manifest = []
    for path, what, size in sorted(files):
        if what in ("text", "tiny", "small_text", "bigtext"):
            data = text_bytes(rng, lines, size)
        elif what in ("pe", "bigpe"):
            data = pe_bytes(rng, pool, size)
        elif what == "blob":
            data = rng.randbytes(size)
        else:
            data = b""
        with open(os.path.join(payload, path), "wb") as f:
            f.write(data)
        manifest.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), path))
    with open(os.path.join(out, "manifest.sha256"), "w") as f:
        f.writelines(manifest)
    with open(os.path.join(out, "folders.txt"), "w") as f:
        f.writelines(folder + "\n" for folder in folders if folder)
    total = sum(size for _, _, size in files)
    print("%s: %d files, %d folders, %.1f MB" % (kind, len(files), len(folders) - 1, total / 1e6))


if __name__ == "__main__":
    main()
