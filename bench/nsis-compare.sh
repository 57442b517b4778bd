#!/usr/bin/env bash
# nsis-compare.sh -- the same payload and the same measurements as install-throughput.sh, for a
# peer: an NSIS installer built by Debian's makensis (`apt-get install nsis`), installed
# silently under Wine. Puts Velkorin's figures next to a well-known installer's on this machine.
#
# Usage: bash bench/nsis-compare.sh [MB]        (MB: 100-600, default 200)
#
# The NSIS script: ANSI x86 stub, `SetCompressor zlib` (deflate, not solid -- like Velkorin's
# per-file deflate), SilentInstall silent, `File /r` of the whole payload into
# $PROGRAMFILES\NSIS Bench, and an uninstaller written as Velkorin writes one. Build time is
# makensis's wall time; install time the median wall time of RUNS (default 3) runs of
# `wine nsis-bench-setup.exe /S`; peak memory VmHWM of the installer's process, measured as in
# install-throughput.sh (bench/common.sh). Each install is verified like Velkorin's (sizes, text
# checksums, zeros); exits 1 on a failed build or install.
#
# Output ends with one line:
#   nsis: N MB in S s = X MB/s, peak memory P MB (...); build: N MB in S s = X MB/s (...)
# Environment: as install-throughput.sh (WINE_TEMPLATE, RUNS, TMPDIR, KEEP=1).
set -euo pipefail

mb=${1:-200}
if ! [[ $mb =~ ^[0-9]+$ ]] || (( mb < 100 || mb > 600 )); then
  echo "usage: $0 [MB]   (MB from 100 to 600, default 200)" >&2
  exit 2
fi
runs=${RUNS:-3}
command -v makensis >/dev/null || { echo "makensis not found: apt-get install nsis" >&2; exit 2; }

source "$(dirname "$0")/common.sh"
bench_start velkorin-nsis
bench_make_payload "$mb"

cat >"$work/bench.nsi" <<'EOF'
Unicode false
SetCompressor zlib
Name "NSIS Bench"
OutFile "nsis-bench-setup.exe"
InstallDir "$PROGRAMFILES\NSIS Bench"
RequestExecutionLevel admin
SilentInstall silent

Section
  SetOutPath "$INSTDIR"
  File /r "payload\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
  RMDir /r "$INSTDIR"
SectionEnd
EOF

setup=$work/nsis-bench-setup.exe
t0=$(now)
(cd "$work" && makensis -V1 bench.nsi)
t1=$(now)
build_s=$(secs "$t0" "$t1")
build_rate=$(rate "$mb" "$build_s")
setup_mib=$(file_mib "$setup")
echo "build: ${mb} MiB in ${build_s} s = ${build_rate} MiB/s, setup file ${setup_mib} MiB"

bench_prefix
target="$prefix/drive_c/Program Files/NSIS Bench"
times=() peaks=() anons=()
for ((i = 1; i <= runs; i++)); do
  rm -rf "$target"
  bench_run "$setup" /S
  echo "install run $i: $(bench_describe_run)"
  [ "$run_code" = 0 ] || { echo "FAILED: the NSIS installer exited with $run_code" >&2; bench_verify "$target" || true; exit 1; }
  bench_verify "$target" || exit 1
  times+=("$run_s") peaks+=("$peak_kib") anons+=("$anon_kib")
done
echo "verified after each run: $(wc -l <"$work/sizes.txt") files, sizes, text checksums, zeros"

install_s=$(median "${times[@]}")
printf 'nsis: %s MB in %s s = %s MB/s, peak memory %s MB (peak RSS = VmHWM of the installer process; private RssAnon peak %s MB); build: %s MB in %s s = %s MB/s (setup file %s MB)\n' \
  "$mb" "$install_s" "$(rate "$mb" "$install_s")" "$(mib "$(maximum "${peaks[@]}")")" \
  "$(mib "$(maximum "${anons[@]}")")" "$mb" "$build_s" "$build_rate" "$setup_mib"
echo "(install time: median of $runs runs: ${times[*]} s; peak memory: the highest of the runs)"
