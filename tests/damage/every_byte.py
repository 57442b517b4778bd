#!/usr/bin/env python3
"""The every-offset run behind every-byte.sh: builds the variants of a setup file, runs them
silently under one Wine server through velkorin-driver.exe (a batch of variants per driver call),
and counts each variant's outcome by region. Progress is kept in SCRATCH/results.csv and
SCRATCH/summary.txt after every batch, so that a run that is stopped still has its figures."""
import argparse
import collections
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

DAMAGED = "The installer file is damaged!"
REFUSED = "damaged message, exit 2"
INSTALLED = "accepted (signing field), installed, exit 0"
LOADER = "refused by the loader (not started)"
# Exit codes of a process that the loader ended before any of the program ran: a clean refusal.
# A file cut before its PE header is not an image at all: Wine starts it as a DOS program through
# winevdm, which ends with STATUS_OBJECT_NAME_NOT_FOUND (Windows runs it in its DOS box, or
# refuses it as a 16-bit program); none of the setup program runs either way.
LOADER_CODES = {0xC0000135: "a DLL it imports is missing", 0xC0000139: "an imported function is missing",
                0xC000007B: "not a valid image", 0xC0000034: "started as a DOS program, which Wine does not run"}


def le32(data, at):
    return struct.unpack_from("<I", data, at)[0]


class Layout:
    """The parts of a setup file, in file order: the headers, each section of the image (the start
    section split into the inflater the start routine checks first, the start routine itself,
    which runs unchecked, and the stored part), the package header, the file area and the script."""

    def __init__(self, data):
        self.size = len(data)
        self.pe = le32(data, 0x3C)
        self.headers_end = le32(data, self.pe + 24 + 60)
        self.package = struct.unpack_from("<H", data, 18)[0]
        self.file_area = self.package + 12
        self.script = self.package + le32(data, self.package + 4)
        self.signing = set(range(self.pe + 88, self.pe + 92)) | set(range(self.pe + 152, self.pe + 156))
        entry = le32(data, self.pe + 24 + 16)
        self.bounds = [(0, "DOS header"), (64, "headers")]
        table = self.pe + 24 + struct.unpack_from("<H", data, self.pe + 20)[0]
        for i in range(struct.unpack_from("<H", data, self.pe + 6)[0]):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("latin-1")
            rva, size, raw = le32(data, at + 12), le32(data, at + 16), le32(data, at + 20)
            if not size:
                continue
            if name == ".start" and rva <= entry < rva + size:
                self.bounds += [(raw, "inflater (checked first)"), (raw + entry - rva, "start routine (unchecked)")]
                stored = self.stored_part(data, raw, le32(data, at + 8))
                if stored:
                    self.bounds.append((stored, "stored part"))
            else:
                self.bounds.append((raw, "section " + name))
        self.bounds += [(self.package, "package header"), (self.file_area, "file area"), (self.script, "script"),
                        (self.size - 1, "last byte")]
        self.bounds.sort()

    @staticmethod
    def stored_part(data, raw, size):
        """The offset of the stored part's header: its packed size reaches to the end of the
        section's contents (size: the section's size in memory)."""
        for at in range(0, size - 20, 4):
            if le32(data, raw + at) == size - at - 20:
                return raw + at
        return None

    def region(self, offset):
        found = self.bounds[0][1]
        for start, name in self.bounds:
            if offset >= start:
                found = name
        return found

    def cut_classes(self):
        """Lengths to cut the file at: every part's first, second, middle and last byte."""
        lengths = set()
        ends = [start for start, _ in self.bounds[1:]] + [self.size]
        for (start, _), end in zip(self.bounds, ends):
            if end > start:
                lengths |= {start, start + 1, (start + end) // 2, end - 1}
        return sorted(o for o in lengths if 0 <= o < self.size)


class Prefix:
    """A copy of the template prefix with a persistent wineserver and the null graphics driver."""

    def __init__(self, template, folder):
        self.path = os.path.join(folder, "prefix")
        if not os.path.isdir(self.path):
            shutil.copytree(template, self.path, symlinks=True)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
        self.drive = os.path.join(self.path, "drive_c")
        self.start_server()
        self.wine(["reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics", "/d", "null", "/f"])
        # A crash starts Wine's debugger, which waits on its crash dialog until the run's time is
        # up; without the dialog it prints its report and the crashed program ends at once.
        self.wine(["reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD",
                   "/d", "0", "/f"])

    def start_server(self):
        subprocess.run(["wineserver", "-p"], env=self.env, check=False)

    def restart_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)
        self.start_server()

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)

    def wine(self, args, timeout=600, debug=None):
        # Output goes to files, not pipes: the Wine services a run starts stay alive and would
        # hold a pipe open long after the program ended. debug replaces WINEDEBUG for this run.
        env = self.env if debug is None else dict(self.env, WINEDEBUG=debug)
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                code = subprocess.run(["wine"] + args, env=env, stdout=out, stderr=err, timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                code = None
            out.seek(0)
            err.seek(0)
            return code, out.read().decode("latin-1"), err.read().decode("latin-1") + (
                "" if code is not None else "\nvelkorin-driver: driver timed out")

    def snapshot(self):
        """Every file and folder of drive C: but the Windows folder, temporary folders and the
        folder of the variants, each file with a digest of its bytes."""
        seen = set()
        for folder, folders, files in os.walk(self.drive):
            relative = os.path.relpath(folder, self.drive)
            if relative == "windows" or "/Temp" in "/" + relative or relative.split("/")[0] == "damage":
                folders[:] = []
                continue
            seen.add(relative + "/")
            for name in files:
                path = os.path.join(folder, name)
                try:
                    with open(path, "rb") as f:
                        seen.add(os.path.join(relative, name) + " " + hashlib.md5(f.read()).hexdigest())
                except OSError:
                    seen.add(os.path.join(relative, name) + " (unreadable)")
        return seen

    def registry_written(self):
        code, _, _ = self.wine(["reg", "query", "HKCU\\Software\\VelkorinDamage"], timeout=120)
        return code == 0


def segments(output):
    """The driver's output cut into one piece per launched variant."""
    pieces = []
    for line in output.splitlines():
        if line.startswith("process\t"):
            pieces.append({"message": None, "exit": None})
        elif pieces and line.startswith("65535\t"):
            pieces[-1]["message"] = line.split("\t", 2)[2] if line.count("\t") >= 2 else ""
        elif pieces and line.startswith("exit\t"):
            pieces[-1]["exit"] = int(line.split("\t")[1])
    return pieces


def crashed_while_binding(err):
    """True when Wine's log (channels +module and err+seh) shows the program's first thread ending
    with an unhandled exception before the loader called any DLL's entry point: the loader was
    still binding the imports, so none of the program had run (a damaged name or hint offset in the
    import table; Windows' loader fails the same start with the same exception)."""
    attached = set()
    for line in err.splitlines():
        thread, _, rest = line.partition(":")
        if not re.fullmatch(r"[0-9a-f]{4,8}", thread):
            continue  # not a line of a debug channel ("wine: Unhandled exception ..." has no thread)
        if rest.startswith("trace:module:process_attach"):
            attached.add(thread)
        elif "Unhandled exception" in rest:
            return thread not in attached
    return False


def outcome_of(piece):
    if piece["message"] == DAMAGED and piece["exit"] == 2:
        return REFUSED
    return "message %r, exit %s" % (piece["message"], piece["exit"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--phases", default="both")
    parser.add_argument("--order", default="sequential")
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--batch", type=int, default=25)
    parser.add_argument("--box-ms", type=int, default=30000)
    parser.add_argument("--regions", default="")
    parser.add_argument("--cuts", default="classes")
    parser.add_argument("--share", default="1/1")
    options = parser.parse_args()
    # A share K/N of the work: its K-th of N consecutive slices, so that N runs in their own
    # scratch folders (each with its own prefix and wineserver) together try every variant once;
    # the signing fields are tried by the first share only.
    share, shares = (int(x) for x in options.share.split("/"))
    if not 1 <= share <= shares:
        sys.exit("every_byte: the share must be K/N with 1 <= K <= N, not %s" % options.share)

    with open(os.path.join(options.scratch, "setup.exe"), "rb") as f:
        original = f.read()
    layout = Layout(original)
    prefix = Prefix(os.path.join(options.build, "wine-template"), options.scratch)
    variants_folder = os.path.join(prefix.drive, "damage")
    os.makedirs(variants_folder, exist_ok=True)
    shutil.copy(os.path.join(options.build, "win32/tests-driver/velkorin-driver.exe"), variants_folder)
    shutil.copy(os.path.join(options.build, "win32/velkorin.exe"), variants_folder)
    driver = "C:\\damage\\velkorin-driver.exe"
    box_ms = str(options.box_ms)
    # Start-up leaves traces on a fresh prefix (special folders, Wine's keys): a bare run first.
    prefix.wine([driver, "launch", "C:\\damage\\velkorin.exe", "wait-exit", "60000"])
    baseline = prefix.snapshot()

    results_path = os.path.join(options.scratch, "results.csv")
    done = set()
    counts = collections.Counter()
    if os.path.exists(results_path):  # a stopped run goes on where it ended
        with open(results_path) as f:
            for line in f:
                phase, offset, region, outcome = line.rstrip("\n").split(",", 3)
                if phase == "#":
                    counts[("trace", "-", outcome)] += 1
                    continue
                done.add((phase, int(offset)))
                counts[(phase, region, outcome)] += 1
    results = open(results_path, "a")
    started = time.time()
    ran = 0

    def record(phase, offset, outcome):
        region = layout.region(offset)
        results.write("%s,%d,%s,%s\n" % (phase, offset, region, outcome.replace(",", ";")))
        counts[(phase, region, outcome.replace(",", ";"))] += 1
        done.add((phase, offset))

    def write_summary(final=False):
        results.flush()
        lines = ["setup file: %d bytes; headers end %d, package at %d, file area %d..%d, script %d..%d" % (
            layout.size, layout.headers_end, layout.package, layout.file_area, layout.script, layout.script,
            layout.size), "variants run this time: %d in %.0f s%s" % (ran, time.time() - started,
                                                                      "" if final else " (running)")]
        for (phase, region, outcome), count in sorted(counts.items()):
            lines.append("%-6s %-15s %7d  %s" % (phase, region, count, outcome))
        with open(os.path.join(options.scratch, "summary.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return lines

    def ordered(first, end):
        offsets = list(range(first, end))
        if options.order == "spread":
            step = 7919 if len(offsets) % 7919 else 7901
            offsets = [offsets[(i * step) % len(offsets)] for i in range(len(offsets))]
        return offsets

    def variant(phase, offset):
        if phase == "cut":
            return original[:offset]
        changed = bytearray(original)
        changed[offset] ^= 0xFF
        return bytes(changed)

    def clean_traces(label):
        """Takes back what a variant wrote; returns a description of it (empty when nothing)."""
        now = prefix.snapshot()
        written = sorted(now - baseline)
        registry = prefix.registry_written()
        for entry in written:
            path = os.path.join(prefix.drive, entry.rsplit(" ", 1)[0] if not entry.endswith("/") else entry)
            if os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            elif os.path.exists(path):
                os.remove(path)
        if registry:
            prefix.wine(["reg", "delete", "HKCU\\Software\\VelkorinDamage", "/f"])
        if written or registry:
            return "%s wrote %d entries%s" % (label, len(written), " and the registry key" if registry else "")
        return ""

    def describe_alone(phase, offset):
        """What a variant that showed no damaged message did, run alone and watched: the windows
        it showed and how it ended (a crash ends with the exception's code, a hang is terminated)."""
        with open(os.path.join(variants_folder, "alone.exe"), "wb") as f:
            f.write(variant(phase, offset))
        code, out, err = prefix.wine([driver, "launch", "C:\\damage\\alone.exe S", "watch", box_ms],
                                     timeout=120 + options.box_ms // 1000, debug="+module,err+seh")
        windows = [line.split("\t", 3)[-1] for line in out.splitlines() if line.startswith("window\t")]
        ended = [line.split("\t")[1] for line in out.splitlines() if line.startswith("exit\t")]
        crashed = "Unhandled" in err or "page fault" in err
        # A damaged import name: Wine starts the program anyway with a stub in its place that
        # aborts when called (Windows' loader refuses to start such a program).
        unimplemented = "nimplemented function" in err
        prefix.restart_server()
        if ended and int(ended[0]) in LOADER_CODES and not windows:
            code = int(ended[0])
            return "%s: exit 0x%08X, %s" % (LOADER, code, LOADER_CODES[code])
        if ended and not windows and crashed_while_binding(err):
            return "%s: exit 0x%08X, the loader crashed while it bound the imports" % (LOADER, int(ended[0]))
        if ended:
            code = int(ended[0])
            how = "exit %d" % code if code < 0x10000 else "exit 0x%08X" % code
        else:
            how = "still running after %d ms, terminated" % options.box_ms
        cause = "import bound to Wine's stub for a missing function, " if unimplemented else (
            "crashed, " if crashed else "")
        return "%s%s, windows: %s" % (cause, how, "; ".join(windows) or "none")

    # The signing fields first: each such variant installs; it is taken back afterwards.
    work = []
    if options.phases in ("bytes", "both"):
        for offset in sorted(layout.signing):
            if ("byte", offset) in done or share != 1:
                continue
            with open(os.path.join(variants_folder, "signing.exe"), "wb") as f:
                f.write(variant("byte", offset))
            code, out, err = prefix.wine([driver, "launch", "C:\\damage\\signing.exe S", "wait-exit", "120000"])
            piece = (segments(out) or [{"message": None, "exit": None}])[0]
            traces = clean_traces("run")
            installed = piece["exit"] == 0 and traces.endswith("and the registry key")
            record("byte", offset, INSTALLED if installed else "signing field: exit %s; %s" % (piece["exit"], traces))
            ran += 1
        wanted = [r.strip() for r in options.regions.split(",") if r.strip()]
        work += [("byte", o) for o in ordered(40, layout.size) if o not in layout.signing and
                 (not wanted or any(layout.region(o).startswith(r) for r in wanted))]
    if options.phases in ("cuts", "both"):
        lengths = layout.cut_classes() if options.cuts == "classes" else ordered(0, layout.size)
        cuts = [("cut", o) for o in lengths]
        if options.order == "spread" and work:
            # Spread: the cuts take turns with the changed bytes, so that both cover every region early.
            mixed = []
            for pair in zip(work, cuts):
                mixed += pair
            work = mixed + work[len(cuts):] + cuts[len(work):]
        else:
            work += cuts
    work = work[(share - 1) * len(work) // shares:share * len(work) // shares]
    work = [w for w in work if w not in done]
    if options.limit:
        work = work[:options.limit]

    at = 0
    while at < len(work):
        chunk = work[at:at + options.batch]
        commands = []
        for i, (phase, offset) in enumerate(chunk):
            name = "v%d.exe" % i
            with open(os.path.join(variants_folder, name), "wb") as f:
                f.write(variant(phase, offset))
            commands += ["launch", "C:\\damage\\%s S" % name, "box-or-exit", "Velkorin", box_ms, "dump", "click", "1",
                         "wait-gone", box_ms, "wait-exit", box_ms]
        code, out, err = prefix.wine([driver] + commands, timeout=60 + len(chunk) * 3 * options.box_ms // 1000)
        pieces = [p for p in segments(out) if p["exit"] is not None]
        for (phase, offset), piece in zip(chunk, pieces):
            record(phase, offset, outcome_of(piece))
        handled = len(pieces)
        if handled < len(chunk):
            # The driver stopped at this variant: it could not be started (the loader refused it),
            # showed no message in time, or the message was not answered.
            phase, offset = chunk[handled]
            last = (err.strip().splitlines() or ["no output"])[-1].strip()
            if "cannot start" in last:
                record(phase, offset, LOADER)
            else:
                prefix.restart_server()  # ends whatever the variant left running
                alone = describe_alone(phase, offset)
                record(phase, offset, alone if alone.startswith(LOADER) else "no damaged message: " + alone)
            handled += 1
        traces = clean_traces("batch")
        if traces:
            first, last_done = chunk[0], chunk[handled - 1]
            results.write("#,0,-,%s %s..%s %s\n" % (first[0], first[1], last_done[1], traces))
            counts[("trace", "-", traces)] += 1
        ran += handled
        at += handled
        write_summary()
    prefix.stop()
    for line in write_summary(final=True):
        print(line)
    # Outcomes are counted as written to results.csv (commas become semicolons).
    good = {REFUSED.replace(",", ";"), INSTALLED.replace(",", ";")}
    bad = [k for k in counts if k[2] not in good and not k[2].startswith(LOADER)]
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
