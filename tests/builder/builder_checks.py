#!/usr/bin/env python3
"""Checks of velkorin-pack as a shipped program, run by ctest:

  reproducible PACK STUB WORK            same bytes from trees made in different orders, -j1 and -j2
  windows PACK PACK_EXE STUB WORK        velkorin-pack.exe (64-bit, static) under 64-bit Wine writes
                                         the Linux bytes from Windows paths
  progress PACK STUB WORK                progress line on a terminal only, not piped, not with -q
  installed BUILD_DIR STUB WORK          cmake --install and the .deb: the builder finds its stub
                                         and text packs; dpkg-deb lists the files

Each project is the demo product with extra files: a 3 MB file (several compression blocks), a
name outside ASCII, a read-only file, an old and a future file time, an empty file and folder.
"""
import os
import pathlib
import pty
import random
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
DEMO = ROOT / "examples" / "demo"
EPOCH_NS = 1_600_000_000_123_456_700  # the time every generated file gets, unless it has its own


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def extra_files():
    """The extra files: relative path -> (bytes, modification time in ns or None)."""
    rng = random.Random(5)
    big = bytes(rng.getrandbits(8) if i % 7 else 65 for i in range(3_000_000))
    return {
        "files/data/big.bin": (big, None),
        "files/data/Größe ü.txt": ("Umlaute im Namen\n".encode(), None),
        "files/data/old.txt": (b"written in 1999\n", 915_148_800_000_000_000),
        "files/data/zeta/last.txt": (b"z" * 5000, None),
        "files/data/Zebra.txt": (b"upper case sorts before lower case in byte order\n", None),
        "files/data/alpha/first.txt": (b"a" * 5000, None),
        "files/data/empty.txt": (b"", None),
        "files/readonly.txt": (b"do not change\n", None),
    }


def make_project(folder, reverse=False):
    """Copies the demo into folder with the extra files, creating files in forward or reverse
    order so that the folder listings can come in different orders; returns the project path."""
    folder = pathlib.Path(folder)
    if folder.exists():
        shutil.rmtree(folder)
    demo_files = sorted(p for p in DEMO.rglob("*") if p.is_file())
    items = [(str(p.relative_to(DEMO)), p.read_bytes(), None) for p in demo_files]
    items += [(name, data, mtime) for name, (data, mtime) in extra_files().items()]
    items.sort(reverse=reverse)
    for name, data, _ in items:
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (folder / "files" / "data" / "nothing").mkdir(exist_ok=True)
    for name, _, mtime in items:
        ns = mtime if mtime is not None else EPOCH_NS
        os.utime(folder / name, ns=(ns, ns))
    os.chmod(folder / "files" / "readonly.txt", 0o444)
    return folder / "demo.toml"


def build(pack, project, output, stub, *extra, env=None):
    command = [str(pack), "build", str(project), "-o", str(output)]
    if stub:
        command += ["--stub", str(stub)]
    result = subprocess.run(command + list(extra), capture_output=True, env=env)
    if result.returncode != 0:
        fail(" ".join(command) + " failed:\n" + result.stderr.decode(errors="replace"))
    return result


def same_bytes(a, b, what):
    da, db = pathlib.Path(a).read_bytes(), pathlib.Path(b).read_bytes()
    if da != db:
        first = next((i for i in range(min(len(da), len(db))) if da[i] != db[i]), min(len(da), len(db)))
        fail(f"{what}: {a} ({len(da)} bytes) and {b} ({len(db)} bytes) differ from byte {first}")


def environment_without_epoch():
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)
    return env


def listing_orders(folder):
    """Every folder's names in the order the file system lists them."""
    return {str(p): os.listdir(p) for p in sorted(pathlib.Path(folder).rglob("*")) if p.is_dir()}


def check_reproducible(pack, stub, work):
    work = pathlib.Path(work)
    work.mkdir(parents=True, exist_ok=True)
    env = environment_without_epoch()
    # On tmpfs a folder lists its names newest first, so the two trees list in different orders
    # (ext4 lists both in the same hash order).
    trees = pathlib.Path(tempfile.mkdtemp(prefix="velkorin-trees-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK)
                                          else work))
    try:
        check_reproducible_trees(pack, stub, work, trees, env)
    finally:
        shutil.rmtree(trees, ignore_errors=True)


def check_reproducible_trees(pack, stub, work, trees, env):
    forward = make_project(trees / "forward")
    backward = make_project(trees / "backward", reverse=True)
    orders = [{name[len(str(tree)):]: names for name, names in listing_orders(tree).items()} for tree in
              (forward.parent, backward.parent)]
    if orders[0] == orders[1]:
        print("reproducible: note: this file system lists both trees in the same order")
    build(pack, forward, work / "one.exe", stub, "-j1", env=env)
    time.sleep(1.1)  # a build that wrote its own time would differ now
    build(pack, backward, work / "two.exe", stub, "-j2", env=env)
    build(pack, forward, work / "three.exe", stub, "-j7", env=env)
    same_bytes(work / "one.exe", work / "two.exe", "-j1 forward tree vs -j2 reverse tree")
    same_bytes(work / "one.exe", work / "three.exe", "-j1 vs -j7")
    # The file times are the sources' own, so another time of the same file changes the output.
    os.utime(backward.parent / "files" / "readme.txt", ns=(EPOCH_NS + 10**9, EPOCH_NS + 10**9))
    build(pack, backward, work / "touched.exe", stub, env=env)
    if (work / "touched.exe").read_bytes() == (work / "one.exe").read_bytes():
        fail("a file with another last-write time gave the same package")
    # SOURCE_DATE_EPOCH bounds the times: with it at 2010 the 2020 times are written as 2010,
    # so the touched tree gives the same bytes as the untouched one; 1999 stays as it was.
    env["SOURCE_DATE_EPOCH"] = "1262304000"
    build(pack, forward, work / "epoch-one.exe", stub, env=env)
    build(pack, backward, work / "epoch-two.exe", stub, env=env)
    same_bytes(work / "epoch-one.exe", work / "epoch-two.exe", "both trees with SOURCE_DATE_EPOCH")
    report = subprocess.run([str(pack), "inspect", str(work / "epoch-one.exe")], capture_output=True, text=True).stdout
    if "written 2010-01-01 00:00:00" not in report or "written 1999-01-01 00:00:00" not in report:
        fail("SOURCE_DATE_EPOCH did not bound the file times as expected:\n" + report)
    if "written 2020-" in report:
        fail("a file time later than SOURCE_DATE_EPOCH is in the package:\n" + report)
    env["SOURCE_DATE_EPOCH"] = "yesterday"
    bad = subprocess.run([str(pack), "build", str(forward), "-o", str(work / "bad.exe"), "--stub", str(stub)],
                         capture_output=True, text=True, env=env)
    if bad.returncode == 0 or "SOURCE_DATE_EPOCH" not in bad.stderr or (work / "bad.exe").exists():
        fail("a malformed SOURCE_DATE_EPOCH was accepted: " + bad.stderr)
    print("reproducible: same bytes for both trees and -j1/-j2/-j7; SOURCE_DATE_EPOCH bounds the times")


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wine64_session(work):
    """Environment of a 64-bit Wine prefix of its own (the project's prefixes are 32-bit)."""
    prefix = pathlib.Path(work).resolve().parent / "wine64-prefix"
    env = environment_without_epoch()
    env.update(WINEPREFIX=str(prefix), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d")
    env.pop("DISPLAY", None)
    wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
    if not (prefix / ".ready").exists():
        shutil.rmtree(prefix, ignore_errors=True)
        subprocess.run([wine, "wineboot", "-i"], env=env, capture_output=True, timeout=300)
        (prefix / ".ready").touch()
    return wine, env


# What a static velkorin-pack.exe may import: libraries every Windows has.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "shell32.dll", "advapi32.dll", "user32.dll"}


def check_windows(pack, pack_exe, stub, work):
    work = pathlib.Path(work)
    headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(pack_exe)], capture_output=True, text=True,
                             check=True).stdout
    imported = {line.split(":", 1)[1].strip().lower() for line in headers.splitlines() if "DLL Name:" in line}
    if not imported or not imported <= SYSTEM_DLLS:
        fail(f"velkorin-pack.exe imports {sorted(imported)}; only system libraries are allowed")
    if "file format pei-x86-64" not in headers:
        fail("velkorin-pack.exe is not a 64-bit Windows program")
    project = make_project(work / "project")
    wine, env = wine64_session(work)
    build(pack, project, work / "linux.exe", stub, env=env)
    # The installed layout: bin\velkorin-pack.exe finds ..\share\velkorin\velkorin.exe itself.
    win_stub = work / "installed" / "share" / "velkorin" / "velkorin.exe"
    exe_copy = work / "installed" / "bin" / "velkorin-pack.exe"
    for path, source in ((win_stub, stub), (exe_copy, pack_exe)):
        path.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, path)
    try:
        # The project and the output named with Windows paths.
        command = [wine, str(exe_copy), "build", windows_path(project), "-o", windows_path(work / "windows.exe"), "-j2"]
        result = subprocess.run(command, capture_output=True, env=env, timeout=300)
        if result.returncode != 0:
            fail("velkorin-pack.exe failed:\n" + result.stdout.decode(errors="replace") +
                 result.stderr.decode(errors="replace"))
        same_bytes(work / "linux.exe", work / "windows.exe", "Linux and Windows builders")
        summary = result.stderr.decode(errors="replace")
        if " files, " in summary.split("bytes (", 1)[0] or "MB/s" in summary:
            fail("piped output of velkorin-pack.exe holds a progress line:\n" + summary)
        inspect = subprocess.run([wine, str(exe_copy), "inspect", windows_path(work / "windows.exe")],
                                 capture_output=True, env=env, timeout=300)
        report = inspect.stdout.decode(errors="replace").replace("\r\n", "\n")
        linux_report = subprocess.run([str(pack), "inspect", str(work / "linux.exe")], capture_output=True,
                                      text=True).stdout
        # The package holds names in the project's code page (1252 here), as the setup program creates them.
        if inspect.returncode != 0 or report != linux_report or "Gr\\xF6\\xDFe \\xFC.txt" not in report:
            fail("velkorin-pack.exe inspect did not describe the package as the Linux builder does:\n" + report)
        # On a console (Wine makes one of a terminal) the Windows builder shows its progress line;
        # Wine's console draws it with cursor sequences and moves over blanks, hence the cleaning.
        shown, code = run_in_terminal([wine, str(exe_copy), "build", windows_path(project), "-o",
                                       windows_path(work / "console.exe")], env)
        count = sum(1 for p in (project.parent / "files").rglob("*") if p.is_file())
        drawn = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", shown).replace(" ", "")
        if code != 0 or f"{count}/{count}files," not in drawn or "MB/s" not in drawn:
            fail(f"no progress line on the Windows console:\n{shown!r}")
        same_bytes(work / "linux.exe", work / "console.exe", "Windows builds with and without a console")
        # A missing project file is refused with its name, and nothing is left behind.
        missing = subprocess.run([wine, str(exe_copy), "build", windows_path(work / "none.toml"), "-o",
                                  windows_path(work / "none.exe"), "--stub", windows_path(win_stub)],
                                 capture_output=True, env=env, timeout=300)
        if missing.returncode != 1 or b"none.toml: cannot open the project file" not in missing.stderr:
            fail("a missing project was not reported: " + missing.stderr.decode(errors="replace"))
        if (work / "none.exe").exists():
            fail("a failed build left its output behind")
    finally:
        subprocess.run([wine.replace("wine64", "wineserver64") if os.path.exists("/usr/lib/wine/wineserver64")
                        else "wineserver", "-k"], env=env, capture_output=True)
    print("windows: velkorin-pack.exe wrote the bytes of the Linux build from Windows paths")


def run_in_terminal(command, env=None):
    """Runs command with stderr (and stdout) on a pseudo-terminal; its output and exit code."""
    leader, follower = pty.openpty()
    process = subprocess.Popen(command, stdout=follower, stderr=follower, stdin=subprocess.DEVNULL, env=env)
    os.close(follower)
    output = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 60)
        if not ready:
            process.kill()
            fail("no output from " + " ".join(command))
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal closes with the program
            break
        if not chunk:
            break
        output += chunk
    os.close(leader)
    return output.decode(errors="replace"), process.wait()


def check_progress(pack, stub, work):
    work = pathlib.Path(work)
    project = make_project(work / "project")
    count = sum(1 for p in (project.parent / "files").rglob("*") if p.is_file())
    total = sum(p.stat().st_size for p in (project.parent / "files").rglob("*") if p.is_file())
    base = [str(pack), "build", str(project), "--stub", str(stub)]
    shown, code = run_in_terminal(base + ["-o", str(work / "tty.exe")])
    if code != 0:
        fail("build on a terminal failed:\n" + shown)
    final = f"{count}/{count} files, {total / 1e6:.1f}/{total / 1e6:.1f} MB"
    if "\r" not in shown or final not in shown or " MB/s" not in shown:
        fail(f"no progress line ending in '{final}' on a terminal:\n{shown!r}")
    if not shown.split(final, 1)[1].lstrip(" ").split("MB/s", 1)[1].startswith("\r\n"):
        fail(f"the progress line does not end its line:\n{shown!r}")
    if "tty.exe: " not in shown:
        fail("the summary line is missing on a terminal:\n" + shown)
    quiet, code = run_in_terminal(base + ["-o", str(work / "quiet.exe"), "-q"])
    if code != 0 or quiet.strip():
        fail(f"--quiet on a terminal printed something:\n{quiet!r}")
    piped = subprocess.run(base + ["-o", str(work / "piped.exe")], capture_output=True, text=True)
    if piped.returncode != 0 or "\r" in piped.stderr or f"/{count} files" in piped.stderr or piped.stdout:
        fail(f"piped output holds a progress line:\n{piped.stderr!r}")
    # Notes (an icon image left out) come first, one line each; then the summary lines of the file.
    summary = [l for l in piped.stderr.splitlines() if not l.startswith("velkorin-pack: ")]
    if not summary or not all(l.startswith(str(work / "piped.exe") + ": ") for l in summary):
        fail(f"piped output is not the one summary line:\n{piped.stderr!r}")
    same_bytes(work / "tty.exe", work / "piped.exe", "builds with and without the progress line")
    print("progress: line on a terminal, none piped or with --quiet")


def check_installed(build_dir, stub, work):
    work = pathlib.Path(work).resolve()
    if work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True)
    project = make_project(work / "project")
    env = environment_without_epoch()
    reference = work / "reference.exe"
    build(pathlib.Path(build_dir) / "velkorin-pack", project, reference, stub, env=env)

    # cmake --install into a staging root: bin/, share/velkorin/ with the stub and the packs.
    stage = work / "stage"
    env_install = dict(env, DESTDIR=str(stage))
    subprocess.run(["cmake", "--install", str(build_dir), "--prefix", "/opt/velkorin"], check=True,
                   env=env_install, capture_output=True)
    prefix = stage / "opt" / "velkorin"
    for name in ["bin/velkorin-pack", "share/velkorin/velkorin.exe", "share/velkorin/texts/German.toml"]:
        if not (prefix / name).is_file():
            fail(f"cmake --install did not install {name}")
    same_bytes(prefix / "share/velkorin/velkorin.exe", stub, "the installed stub")
    build(prefix / "bin/velkorin-pack", project, work / "installed.exe", None, env=env)
    same_bytes(reference, work / "installed.exe", "installed builder without --stub")
    # The installed text packs are the ones the builder reads: a changed German text shows.
    german = prefix / "share/velkorin/texts/German.toml"
    text = german.read_text(encoding="utf-8")
    original = '4 = "Möchten Sie das Entpacken des Archivs wirklich abbrechen?"'
    changed = text.replace(original, '4 = "Entpacken abbrechen? (Marke 4711)"', 1)
    if changed == text:
        fail("the German pack has no message 4 to change")
    german.write_text(changed, encoding="utf-8")
    build(prefix / "bin/velkorin-pack", project, work / "changed.exe", None, env=env)
    report = subprocess.run([str(prefix / "bin/velkorin-pack"), "inspect", str(work / "changed.exe")],
                            capture_output=True, text=True).stdout
    if "Entpacken abbrechen? (Marke 4711)" not in report:
        fail("the installed German pack was not read:\n" + report[:3000])

    # The .deb: its listing names the three kinds of files; unpacked, its builder works.
    debs = work / "deb"
    subprocess.run(["cpack", "-G", "DEB", "--config", str(pathlib.Path(build_dir) / "CPackConfig.cmake"),
                    "-B", str(debs)], check=True, capture_output=True, env=env)
    found = sorted(debs.glob("*.deb"))
    if len(found) != 1:
        fail(f"cpack made {len(found)} .deb files")
    listing = subprocess.run(["dpkg-deb", "-c", str(found[0])], capture_output=True, text=True, check=True).stdout
    for name in ["./usr/bin/velkorin-pack", "./usr/share/velkorin/velkorin.exe", "./usr/share/velkorin/texts/German.toml"]:
        if name not in listing:
            fail(f"{name} is not in the .deb:\n{listing}")
    info = subprocess.run(["dpkg-deb", "-f", str(found[0]), "Package", "Architecture", "Depends"],
                          capture_output=True, text=True, check=True).stdout
    if "Package: velkorin-pack" not in info or "zlib1g" not in info:
        fail("the .deb's control fields are not those of velkorin-pack:\n" + info)
    unpacked = work / "unpacked"
    subprocess.run(["dpkg", "-x", str(found[0]), str(unpacked)], check=True)
    build(unpacked / "usr/bin/velkorin-pack", project, work / "from-deb.exe", None, env=env)
    same_bytes(reference, work / "from-deb.exe", "builder unpacked from the .deb")
    print("installed: cmake --install and the .deb give a builder that finds its stub and text packs")


def main():
    if len(sys.argv) < 2:
        fail(__doc__)
    command, args = sys.argv[1], sys.argv[2:]
    checks = {"reproducible": check_reproducible, "windows": check_windows, "progress": check_progress,
              "installed": check_installed}
    if command not in checks:
        fail(__doc__)
    checks[command](*args)


if __name__ == "__main__":
    main()
