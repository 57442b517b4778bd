# common.sh -- shared parts of the install benchmarks; sourced, not run.
#
# After `source bench/common.sh`:
#   bench_start NAME         makes the temporary folder $work (removed at exit unless KEEP=1),
#                            sets $prefix ($work/prefix) and the Wine environment
#   bench_make_payload MB    writes the payload into $work/payload (see below), its file sizes
#                            into $work/sizes.txt and the text checksums into $work/text.sha256
#   bench_prefix             copies the template prefix to $prefix, starts a persistent
#                            wineserver and selects Wine's null graphics driver
#   bench_run EXE ARGS...    runs `wine EXE ARGS...`, timing it and sampling the memory of the
#                            Linux process that runs EXE (see bench_run below)
#   bench_verify FOLDER      checks the installed payload in FOLDER (a host path)
#   bench_floor              peak RSS of an empty program importing the stub's DLLs
#
# The payload is the same bytes on every run, MB MiB in all:
#   big/zeros.bin       MB-20 MiB of zero bytes;
#   text/<a..d>/*.txt   20 MiB of word salad in 40 files from a fixed seed (compresses ~3:1).
# Needs: wine, python3, /usr/bin/time, sha256sum, cmp; i686-w64-mingw32-gcc for bench_floor.

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_build=$(realpath -m "${VELKORIN_BUILD:-$bench_root/build}")
bench_template=$(realpath -m "${WINE_TEMPLATE:-$bench_build/wine-template}")

now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
rate() { awk -v m="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", m / s; else print "inf" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }          # KiB -> MiB
file_mib() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -1; }

bench_cleanup() {
  if [ -d "${prefix:-}" ]; then wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; fi
  if [ "${KEEP:-0}" = 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}

bench_start() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  prefix=$work/prefix
  # 32-bit prefix: both installers are 32-bit, and wine64 would make a 64-bit one by default.
  export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  trap bench_cleanup EXIT
}

bench_make_payload() {
  local mb=$1 text_mib=20
  zeros_mib=$((mb - text_mib))
  payload=$work/payload
  mkdir -p "$payload/big" "$payload/text"
  echo "payload: ${zeros_mib} MiB of zeros + ${text_mib} MiB of text in $work"
  head -c $((zeros_mib * 1048576)) /dev/zero >"$payload/big/zeros.bin"
  python3 - "$payload/text" $((text_mib * 1048576)) <<'EOF'
import os, random, sys
out, total = sys.argv[1], int(sys.argv[2])
rng = random.Random(20240607)           # fixed seed: the same bytes on every run
def word():
    return "".join(chr(97 + rng.randrange(26)) for _ in range(2 + rng.randrange(8)))
vocabulary = [word() for _ in range(4000)]
lines = []
for _ in range(20000):
    n = 4 + rng.randrange(12)
    lines.append(" ".join(vocabulary[rng.randrange(len(vocabulary))] for _ in range(n)) + "\r\n")
folders, per_folder = "abcd", 10
count = len(folders) * per_folder
written = 0
for i in range(count):
    size = total // count + (total % count if i == count - 1 else 0)
    folder = os.path.join(out, folders[i // per_folder])
    os.makedirs(folder, exist_ok=True)
    parts, have = [], 0
    while have < size:
        line = lines[rng.randrange(len(lines))]
        parts.append(line)
        have += len(line)
    data = "".join(parts).encode("ascii")[:size]
    with open(os.path.join(folder, "file%02d.txt" % (i % per_folder)), "wb") as f:
        f.write(data)
    written += len(data)
assert written == total
EOF
  (cd "$payload" && find . -type f -printf '%P %s\n' | sort) >"$work/sizes.txt"
  (cd "$payload" && find text -type f | sort | xargs sha256sum) >"$work/text.sha256"
}

bench_prefix() {
  bash "$bench_root/tests/wine/prepare-template.sh" "$bench_template"
  mkdir -p "$prefix"
  cp -a "$bench_template/." "$prefix/"
  wineserver -p
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
}

# The Linux process that runs the Windows program NAME: its command line holds NAME and its
# executable is Wine's loader (not bash, time or the `wine` start script; the preloader may be
# installed as `wine-preloader.static`). On a kernel without
# 32-bit support the loader runs under qemu-i386: the executable is then the emulator and the
# command line starts with it, followed by Wine's preloader and loader.
bench_find_process() {
  local name=$1 p exe args
  for p in /proc/[0-9]*; do
    # Builtins only (no process per entry), so that even a 0.2 s run is found in time.
    mapfile -d '' args 2>/dev/null <"$p/cmdline" || continue
    [[ "${args[*]}" == *"$name"* ]] || continue
    exe=$(readlink "$p/exe" 2>/dev/null) || continue
    case $exe in
      */wine-preloader*|*/wine|*/wine64|*/wine64-preloader*) echo "${p#/proc/}"; return 0 ;;
      */qemu-i386*) [[ "${args[1]:-}" == */wine* ]] && { echo "${p#/proc/}"; return 0; } ;;
    esac
  done
  return 1
}

# bench_run EXE ARGS... runs `wine EXE ARGS...` under /usr/bin/time -v and samples
# /proc/PID/status of the process running EXE every 20 ms. Sets:
#   run_s      wall seconds of `wine EXE ARGS...`      run_code   its exit code
#   peak_kib   peak RSS (VmHWM): the larger of time -v's figure (taken at exit) and the samples
#   hwm_kib    VmHWM, last sample                     time_kib   time -v "Maximum resident set size"
#   rss_kib    highest VmRSS sample                    anon_kib   highest RssAnon sample
#   vmpeak_kib highest VmPeak (peak virtual size)      samples    number of samples taken
#   cpu_s      user + system CPU seconds of `wine EXE` and the processes it waited for (not the
#              persistent wineserver)
bench_run() {
  local exe=$1 name pid="" t0 t1 key value rest starter
  name=$(basename "$exe")
  hwm_kib=0 anon_kib=0 rss_kib=0 vmpeak_kib=0 samples=0
  t0=$(now)
  /usr/bin/time -v -o "$work/time.txt" wine "$@" 2>>"$work/wine-stderr.log" &
  starter=$!
  while kill -0 "$starter" 2>/dev/null; do
    if [ -z "$pid" ]; then pid=$(bench_find_process "$name") || pid=""; fi
    if [ -n "$pid" ] && [ -r "/proc/$pid/status" ]; then
      while read -r key value rest; do
        case $key in
          VmPeak:) (( value > vmpeak_kib )) && vmpeak_kib=$value ;;
          VmHWM:) (( value > hwm_kib )) && hwm_kib=$value ;;
          VmRSS:) (( value > rss_kib )) && rss_kib=$value ;;
          RssAnon:) (( value > anon_kib )) && anon_kib=$value ;;
        esac
      done 2>/dev/null <"/proc/$pid/status" || true
      samples=$((samples + 1))
    fi
    sleep 0.02
  done
  run_code=0
  wait "$starter" || run_code=$?
  t1=$(now)
  run_s=$(secs "$t0" "$t1")
  time_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
  time_kib=${time_kib:-0}
  cpu_s=$(awk -F': ' '/User time|System time/ { t += $2 } END { printf "%.2f", t }' "$work/time.txt")
  peak_kib=$(( time_kib > hwm_kib ? time_kib : hwm_kib ))
  if [ -z "$pid" ]; then echo "note: no sample of $name's process (too short); memory from time -v only" >&2; fi
  return 0
}

bench_describe_run() {
  echo "${run_s} s, exit code $run_code, peak RSS $(mib "$peak_kib") MiB (VmHWM sampled $(mib "$hwm_kib")," \
       "time -v $(mib "$time_kib")), peak RssAnon $(mib "$anon_kib") MiB, VmPeak $(mib "$vmpeak_kib") MiB, $samples samples"
}

# Checks the installed payload in FOLDER: every size, the text checksums, the zeros. Prints
# what is wrong and returns 1 if anything is.
bench_verify() {
  local target=$1 failed=0 rel size have
  if ! [ -d "$target" ]; then echo "FAILED: $target does not exist" >&2; return 1; fi
  while read -r rel size; do
    have=$(stat -c %s "$target/$rel" 2>/dev/null || echo missing)
    if [ "$have" != "$size" ]; then echo "FAILED: $rel: size $have, expected $size" >&2; failed=1; fi
  done <"$work/sizes.txt"
  (cd "$target" && sha256sum --quiet -c "$work/text.sha256") || { echo "FAILED: text checksums" >&2; failed=1; }
  cmp -s -n $((zeros_mib * 1048576)) "$target/big/zeros.bin" /dev/zero \
    || { echo "FAILED: big/zeros.bin is not all zeros" >&2; failed=1; }
  return $failed
}

# Wine's floor: a program that does nothing but import the same system DLLs as the stub. Its
# peak RSS is what any Windows program with these imports costs under Wine before it does any
# work. Sets floor_kib ("" without the MinGW compiler).
bench_floor() {
  floor_kib=""
  command -v i686-w64-mingw32-gcc >/dev/null || return 0
  cat >"$work/floor.c" <<'EOF'
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
/* Imports what the stub imports; the calls never run, the DLLs are loaded all the same. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
    if (show == 12345) {
        char path[MAX_PATH];
        HKEY key;
        InitCommonControls();
        GetStockObject(0);
        CoInitialize(NULL);
        SHGetFolderPathA(NULL, 0, NULL, 0, path);
        RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, 0, &key);
        MessageBoxA(NULL, line, path, 0);
    }
    return 0;
}
EOF
  i686-w64-mingw32-gcc -O2 -mwindows -o "$work/velkorin-floor.exe" "$work/floor.c" \
    -luser32 -lgdi32 -lcomctl32 -lshell32 -lole32 -ladvapi32 2>>"$work/wine-stderr.log" || return 0
  /usr/bin/time -f %M -o "$work/floor.txt" wine "$work/velkorin-floor.exe" 2>>"$work/wine-stderr.log" || true
  floor_kib=$(tail -1 "$work/floor.txt")
}
