#!/usr/bin/env bash
# install-throughput.sh -- how fast velkorin-pack builds a large package, how fast the stub
# installs it silently under Wine, and how much memory the stub's process needs while doing so.
#
# Usage: bash bench/install-throughput.sh [MB]        (MB: 100-600, default 200)
#
# Steps (all inside one temporary folder, removed at the end unless KEEP=1):
#   1. Payload of MB MiB, the same bytes on every run (bench/common.sh):
#        big/zeros.bin          MB-20 MiB of zero bytes (compresses to almost nothing);
#        text/<a..d>/*.txt      20 MiB of word salad in 40 files from a fixed seed (~3:1).
#   2. A project file installing the payload to <ProgramFiles>\Velkorin Bench (defaults
#      otherwise: compression auto, an uninstaller), and `velkorin-pack build` of it with the
#      default number of threads: build seconds and payload MiB/s. A second, tiny package (one
#      1 KiB file) is built as the memory baseline.
#   3. A fresh copy of the template prefix (tests/wine/prepare-template.sh), a persistent
#      wineserver and Wine's null graphics driver.
#   4. `wine setup.exe S` of the tiny package once, then of the large one RUNS times (default 3;
#      the install folder is removed in between). Install time is the wall time of
#      `wine setup.exe S` (the median of the runs); MiB/s = payload MiB / seconds.
#      Memory: under Wine the process running setup.exe is one Linux process (Wine's loader,
#      shown by ps under the Windows path of setup.exe). It is found through /proc/*/cmdline
#      and /proc/PID/status is sampled every 20 ms; `/usr/bin/time -v` runs around `wine` too.
#        peak memory = VmHWM, the kernel's peak resident set of that process; this is what
#                   Windows calls PeakWorkingSetSize (Wine fills it from VmHWM). It includes
#                   the pages of Wine itself and of every system DLL the stub loads. The
#                   larger of time -v's figure (taken at exit) and the last sample.
#        RssAnon    resident anonymous memory (heap, stacks, private data), highest sample:
#                   the part that would grow if the stub buffered file data.
#        VmPeak     peak virtual size; under Wine about 3 GiB whatever the program does,
#                   because Wine reserves the address space up front: printed, not judged.
#      The tiny package gives the baseline of stub + Wine, so the difference is what installing
#      MB MiB costs; an empty program importing the stub's DLLs (compiled when
#      i686-w64-mingw32-gcc exists) shows what Wine alone costs.
#   5. After every run, checks the installed files: every size, the sha256 of the text files,
#      and that the big file is all zeros. Exits 1 if a build or an install failed or a file is
#      wrong, 2 on bad usage.
#
# Output: progress lines, then one summary line:
#   install: N MB in S s = X MB/s, peak memory P MB (...); build: N MB in S s = X MB/s (...)
# MB here are MiB (1,048,576 bytes).
#
# Environment: VELKORIN_BUILD (build folder, default build), WINE_TEMPLATE (template prefix,
# default $VELKORIN_BUILD/wine-template), RUNS (default 3), TMPDIR, KEEP=1 (keep the folder).
set -euo pipefail

mb=${1:-200}
if ! [[ $mb =~ ^[0-9]+$ ]] || (( mb < 100 || mb > 600 )); then
  echo "usage: $0 [MB]   (MB from 100 to 600, default 200)" >&2
  exit 2
fi
runs=${RUNS:-3}

source "$(dirname "$0")/common.sh"
pack=$bench_build/velkorin-pack
stub=$bench_build/win32/velkorin.exe
for f in "$pack" "$stub"; do
  [ -f "$f" ] || { echo "missing $f: build the project first" >&2; exit 2; }
done

bench_start velkorin-bench
bench_make_payload "$mb"
mkdir -p "$work/tiny"
head -c 1024 /dev/zero | tr '\0' 'v' >"$work/tiny/one.txt"

# ---- builds ---------------------------------------------------------------------------------
project() { # NAME SOURCE
  cat <<EOF
[product]
name = "$1"
title = "$1 1.0"

[[variables]]
name = "InstallPath"
value = "<ProgramFiles>\\\\$1"

[[files]]
destination = "%InstallPath%"
source = "$2"
EOF
}
project "Velkorin Bench" payload >"$work/bench.toml"
project "Velkorin Bench Tiny" tiny >"$work/tiny.toml"

setup=$work/velkorin-bench-setup.exe
tiny_setup=$work/velkorin-tiny-setup.exe
"$pack" build "$work/tiny.toml" -o "$tiny_setup" --stub "$stub" -q
t0=$(now)
"$pack" build "$work/bench.toml" -o "$setup" --stub "$stub" -q
t1=$(now)
build_s=$(secs "$t0" "$t1")
build_rate=$(rate "$mb" "$build_s")
setup_mib=$(file_mib "$setup")
echo "build: ${mb} MiB in ${build_s} s = ${build_rate} MiB/s, setup file ${setup_mib} MiB"

# ---- installs -------------------------------------------------------------------------------
bench_prefix
bench_floor
[ -z "$floor_kib" ] || echo "Wine floor (empty program importing the stub's DLLs): peak RSS $(mib "$floor_kib") MiB"

bench_run "$tiny_setup" S
echo "baseline (1 KiB package): $(bench_describe_run)"
if [ "$run_code" != 0 ] || ! [ -f "$prefix/drive_c/Program Files/Velkorin Bench Tiny/one.txt" ]; then
  echo "FAILED: the tiny package did not install" >&2
  exit 1
fi
base_peak=$peak_kib base_anon=$anon_kib base_samples=$samples

target="$prefix/drive_c/Program Files/Velkorin Bench"
times=() peaks=() anons=()
for ((i = 1; i <= runs; i++)); do
  rm -rf "$target"
  bench_run "$setup" S
  echo "install run $i: $(bench_describe_run)"
  [ "$run_code" = 0 ] || { echo "FAILED: setup.exe S exited with $run_code" >&2; bench_verify "$target" || true; exit 1; }
  bench_verify "$target" || exit 1
  times+=("$run_s") peaks+=("$peak_kib") anons+=("$anon_kib")
done
echo "verified after each run: $(wc -l <"$work/sizes.txt") files, sizes, text checksums, zeros;" \
     "allocated on disk for big/zeros.bin: $(du -k "$target/big/zeros.bin" | cut -f1) KiB"

install_s=$(median "${times[@]}")
install_rate=$(rate "$mb" "$install_s")
peak=$(maximum "${peaks[@]}") anon=$(maximum "${anons[@]}")
if (( base_samples > 0 )); then base_anon_text="$(mib "$base_anon") MB"; else base_anon_text="not sampled"; fi
printf 'install: %s MB in %s s = %s MB/s, peak memory %s MB (peak RSS = VmHWM of the setup process = its peak working set; %s MB with a 1 KiB package, so %s MB for the payload; private RssAnon peak %s MB, 1 KiB package %s); build: %s MB in %s s = %s MB/s (setup file %s MB)\n' \
  "$mb" "$install_s" "$install_rate" "$(mib "$peak")" "$(mib "$base_peak")" \
  "$(awk -v k=$((peak - base_peak)) 'BEGIN { printf "%+.1f", k / 1024 }')" "$(mib "$anon")" "$base_anon_text" \
  "$mb" "$build_s" "$build_rate" "$setup_mib"
[ -z "$floor_kib" ] || echo "(an empty program importing the same DLLs peaks at $(mib "$floor_kib") MB under this Wine)"
echo "(install time: median of $runs runs: ${times[*]} s; peak memory: the highest of the runs)"
