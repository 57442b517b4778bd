#!/usr/bin/env bash
# compare.sh -- Velkorin against its peer NSIS on realistic payloads, in one run: the same
# payload, the same Wine and prefix set-up, builds and silent installs alternating run by run,
# every installed file and the uninstaller verified after every install, then the silent removal
# timed until its work is done and checked. Ends with a Markdown
# table: medians with [min-max] of RUNS runs, CPU time, setup size, peak memory, and the ratios.
#
# Usage: bash bench/compare.sh [KIND...]   (default: small large files2000 files4000)
#   KIND is a payload of bench/make-payload.py: tiny, small (~20 MB, 300 files), large
#   (~200 MB, 2,000 files), files2000 and files4000 (the per-file scaling pair).
# Environment:
#   RUNS=3            builds and installs per installer and payload (alternating)
#   VELKORIN_PACK     the builder (default: build-release/velkorin-pack, else build/velkorin-pack)
#   VELKORIN_BUILD    the build tree holding win32/velkorin.exe (default build)
#   PAYLOADS          where generated payloads are kept (default $VELKORIN_BUILD/bench-payloads)
#   PEER=0            Velkorin alone (also when makensis is missing: `apt-get install nsis`)
#   TABLE=FILE        also write the table to FILE;  KEEP=1 keeps the work folder
# Exit code 1 when any build, install or verification failed (the table still shows the rest).
#
# Memory: the installer's process is found through Wine (the Linux process whose command line
# holds the setup file's name and whose executable is Wine's loader, or qemu-i386 running it)
# and its VmHWM sampled every 20 ms (bench/common.sh); under emulation this includes the
# emulator's own memory. CPU: user + system time of `wine setup.exe`, not of the wineserver.
set -uo pipefail

source "$(dirname "$0")/common.sh"
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(small large files2000 files4000)
runs=${RUNS:-3}
pack=${VELKORIN_PACK:-}
if [ -z "$pack" ]; then
  pack=$bench_root/build-release/velkorin-pack
  [ -x "$pack" ] || pack=$bench_build/velkorin-pack
fi
stub=$bench_build/win32/velkorin.exe
payloads=${PAYLOADS:-$bench_build/bench-payloads}
peer=${PEER:-1}
if [ "$peer" = 1 ] && ! command -v makensis >/dev/null; then
  echo "note: makensis not found (apt-get install nsis): Velkorin alone" >&2
  peer=0
fi
for f in "$pack" "$stub"; do [ -f "$f" ] || { echo "missing $f: build the project first" >&2; exit 2; }; done
who_list=(velkorin)
[ "$peer" = 1 ] && who_list+=(nsis)

bench_start velkorin-compare
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

# ---- payloads and projects ---------------------------------------------------------------------
make_payload() { # KIND: generated once per version of the generator
  local dir=$payloads/$1 stamp
  stamp=$(sha256sum "$bench_root/bench/make-payload.py" | cut -c1-16)
  if [ "$(cat "$dir/stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$dir"; mkdir -p "$dir"
    python3 "$bench_root/bench/make-payload.py" "$1" "$dir" >&2 || return 1
    echo "$stamp" >"$dir/stamp"
  fi
  echo "$dir"
}

velkorin_project() { # PAYLOAD_DIR
  cat <<EOF
[product]
name = "Velkorin Bench"
title = "Velkorin Bench 1.0"

[[variables]]
name = "InstallPath"
value = "<ProgramFiles>\\\\Velkorin Bench"

[[files]]
destination = "%InstallPath%"
source = "$1/payload"
EOF
}

# The same installation for NSIS: non-solid zlib (per-file deflate, like Velkorin), every file
# and folder (empty folders made explicitly), the uninstaller and its Uninstall entry.
nsis_project() { # PAYLOAD_DIR
  cat <<EOF
Unicode false
SetCompressor zlib
Name "NSIS Bench"
OutFile "nsis-setup.exe"
InstallDir "\$PROGRAMFILES\\NSIS Bench"
RequestExecutionLevel admin
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File /r "$1/payload/*.*"
EOF
  while read -r folder; do printf '  CreateDirectory "$INSTDIR\\%s"\n' "${folder//\//\\}"; done <"$1/folders.txt"
  cat <<'EOF'
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\NSIS Bench" "DisplayName" "NSIS Bench 1.0"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\NSIS Bench" "UninstallString" "$INSTDIR\uninstall.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\NSIS Bench"
SectionEnd
EOF
}

# ---- one build, one install ------------------------------------------------------------------
timed() { # COMMAND...: sets t_wall, t_cpu
  local u s
  /usr/bin/time -f '%e %U %S' -o "$work/build-time.txt" "$@" >"$work/build.log" 2>&1 || return 1
  read -r t_wall u s <"$work/build-time.txt"
  t_cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
}

build_one() { # WHO PAYLOAD_DIR
  case $1 in
    velkorin) velkorin_project "$2" >"$work/bench.toml"
              timed "$pack" build "$work/bench.toml" -o "$work/velkorin-setup.exe" --stub "$stub" -q ;;
    nsis)     nsis_project "$2" >"$work/bench.nsi"
              (cd "$work" && timed makensis -V1 bench.nsi && echo "$t_wall $t_cpu" >"$work/nsis-time.txt") &&
                read -r t_wall t_cpu <"$work/nsis-time.txt" ;;
  esac
}

# Every payload file with its bytes, every folder, and nothing else but the uninstaller (and
# Velkorin's log). The uninstaller's bytes: Velkorin's is the stub image with the package offset
# cleared; NSIS's must be a program, the same after every install.
verify_install() { # WHO TARGET PAYLOAD_DIR SETUP
  local who=$1 target=$2 dir=$3 setup=$4 extra expected image
  [ -d "$target" ] || { fail "$who: $target missing"; return 1; }
  (cd "$target" && sha256sum --quiet -c "$dir/manifest.sha256") >"$work/verify.log" 2>&1 ||
    { fail "$who: installed files differ from the payload: $(head -3 "$work/verify.log")"; return 1; }
  while read -r folder; do
    [ -d "$target/$folder" ] || { fail "$who: folder $folder missing"; return 1; }
  done <"$dir/folders.txt"
  expected=$([ "$who" = velkorin ] && echo 2 || echo 1)
  extra=$(( $(find "$target" -type f | wc -l) - $(wc -l <"$dir/manifest.sha256") ))
  [ "$extra" = "$expected" ] || { fail "$who: $extra files beside the payload, expected $expected"; return 1; }
  if [ "$who" = velkorin ]; then
    image=$(od -An -tu2 -j18 -N2 "$setup" | tr -d ' ')
    # The uninstaller is the stub image with the image-size word cleared, its own PE CheckSum and
    # no security directory entry: compare with those fields cleared on both sides.
    local clear='import sys; d = bytearray(sys.stdin.buffer.read()); d[18:20] = b"\0\0"; pe = int.from_bytes(d[60:64], "little")
d[pe + 88:pe + 92] = bytes(4); d[pe + 152:pe + 160] = bytes(8); sys.stdout.buffer.write(d)'
    head -c "$image" "$setup" | python3 -c "$clear" >"$work/expected-uninstaller"
    python3 -c "$clear" <"$target/uninstall.exe" >"$work/installed-uninstaller" 2>/dev/null
    cmp -s "$work/expected-uninstaller" "$work/installed-uninstaller" ||
      { fail "velkorin: uninstall.exe ($(stat -c %s "$target/uninstall.exe" 2>/dev/null || echo no) bytes) is not the stub image ($image bytes)"; return 1; }
  else
    [ "$(head -c 2 "$target/uninstall.exe" 2>/dev/null)" = MZ ] && [ "$(stat -c %s "$target/uninstall.exe")" -gt 10000 ] ||
      { fail "nsis: uninstall.exe is not a program"; return 1; }
    [ -f "$work/nsis-uninstaller" ] || cp "$target/uninstall.exe" "$work/nsis-uninstaller"
    cmp -s "$work/nsis-uninstaller" "$target/uninstall.exe" || { fail "nsis: uninstall.exe changed between runs"; return 1; }
  fi
}

install_one() { # WHO PAYLOAD_DIR: sets run_s, cpu_s, peak_kib (bench_run) and ok
  local who=$1 dir=$2 setup target arg
  if [ "$who" = velkorin ]; then setup=$work/velkorin-setup.exe target="$prefix/drive_c/Program Files/Velkorin Bench" arg=S
  else setup=$work/nsis-setup.exe target="$prefix/drive_c/Program Files/NSIS Bench" arg=/S; fi
  rm -rf "$target"
  sync
  bench_run "$setup" "$arg"
  ok=1
  [ "$run_code" = 0 ] || { fail "$who: setup exited with $run_code"; ok=0; }
  [ "$ok" = 1 ] && { verify_install "$who" "$target" "$dir" "$setup" || ok=0; }
  removed=0 remove_s=""
  [ "$ok" = 1 ] && remove_one "$who" "$target"
  rm -rf "$target"
}

# A process of a removal still running in this benchmark's prefix: the uninstaller, NSIS's copy
# of it in the temporary folder (Au_.exe), Velkorin's delself.bat and the command interpreter
# running it. Only processes whose environment names this prefix count: Wine programs of other
# prefixes (a test run beside the benchmark, say) run cmd.exe too.
removal_running() {
  local pid
  for pid in $(pgrep -f 'uninstall\.exe|Au_\.exe|delself|cmd\.exe'); do
    tr '\0' '\n' 2>/dev/null </proc/"$pid"/environ | grep -qxF "WINEPREFIX=$prefix" && return 0
  done
  return 1
}

# The silent removal, timed until its work is done: both uninstallers end their first process
# before everything is gone (NSIS's copy in the temporary folder removes the files; Velkorin's
# delself.bat removes the uninstaller and the folders it stood in), so the clock stops when the
# product folder is gone and no process of the removal is left. Verified: folder and Uninstall
# entry gone.
remove_one() { # WHO TARGET: sets remove_s and removed
  local who=$1 target=$2 t0 arg code=0 key limit
  if [ "$who" = velkorin ]; then arg=S key='Velkorin Bench'; else arg=/S key='NSIS Bench'; fi
  t0=$(now)
  wine "$target/uninstall.exe" "$arg" >>"$work/wine-stderr.log" 2>&1 || code=$?
  limit=$(awk -v t="$t0" 'BEGIN { printf "%d", t + 600 }')
  while [ -e "$target" ] || removal_running; do
    [ "$(date +%s)" -lt "$limit" ] || { fail "$who: removal not done after 600 s"; return 1; }
    sleep 0.02
  done
  remove_s=$(secs "$t0" "$(now)")
  [ "$code" = 0 ] || { fail "$who: uninstall.exe $arg exited with $code"; return 1; }
  if wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$key" >/dev/null 2>&1; then
    fail "$who: the Uninstall entry is still there after the removal"; return 1
  fi
  removed=1
}

# ---- figures -----------------------------------------------------------------------------------
spread() { # VALUES...: "median [min-max]"
  printf '%s [%s–%s]' "$(median "$@")" "$(printf '%s\n' "$@" | sort -g | head -1)" "$(maximum "$@")"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

declare -A med   # med[kind.who.what] = median, for the ratio rows
thread_line=""
table=$work/table.md
{
  echo "| payload | installer | build s | build CPU s | setup bytes | silent install s | MB/s | install CPU s | peak RSS MB | verified | silent removal s | removed |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
} >"$table"

bench_prefix >/dev/null
for kind in "${kinds[@]}"; do
  dir=$(make_payload "$kind") || { fail "payload $kind"; continue; }
  mb=$(awk -v b="$(du -sb --apparent-size "$dir/payload" | cut -f1)" 'BEGIN { printf "%.1f", b / 1e6 }')
  files=$(wc -l <"$dir/manifest.sha256")
  declare -A builds=() bcpu=() inst=() icpu=() peak=() good=() rem=() gone=() threads=()
  for ((r = 1; r <= runs; r++)); do
    for who in "${who_list[@]}"; do
      if build_one "$who" "$dir"; then
        builds[$who]+="$t_wall " bcpu[$who]+="$t_cpu "
      else
        fail "$who: build of $kind: $(tail -3 "$work/build.log")"
      fi
    done
  done
  # The builder's threads: the large payload also built with one thread and with two, alternating;
  # the files must be the same bytes.
  if [ "$kind" = large ] && [ -n "${builds[velkorin]:-}" ]; then
    for ((r = 1; r <= runs; r++)); do
      for j in 1 2; do
        if timed "$pack" build "$work/bench.toml" -o "$work/velkorin-j$j.exe" --stub "$stub" -q -j "$j"; then
          threads[$j]+="$t_wall "
        else
          fail "velkorin: build of $kind with $j threads"
        fi
      done
      cmp -s "$work/velkorin-j1.exe" "$work/velkorin-j2.exe" || fail "velkorin: one and two threads wrote different files"
    done
    # shellcheck disable=SC2086
    [ -z "${threads[1]:-}" ] || [ -z "${threads[2]:-}" ] ||
      thread_line="Build of the large payload, velkorin, 2 threads / 1 thread: $(ratio "$(median ${threads[2]})" "$(median ${threads[1]})") ($(spread ${threads[2]}) s against $(spread ${threads[1]}) s)"
    rm -f "$work"/velkorin-j[12].exe
  fi
  for ((r = 1; r <= runs; r++)); do
    for who in "${who_list[@]}"; do
      [ -n "${builds[$who]:-}" ] || continue
      install_one "$who" "$dir"
      echo "$kind $who run $r: $(bench_describe_run), CPU ${cpu_s} s, verified: $([ $ok = 1 ] && echo yes || echo NO)" >&2
      inst[$who]+="$run_s " icpu[$who]+="$cpu_s " peak[$who]+="$peak_kib "
      [ "$ok" = 1 ] && good[$who]=$(( ${good[$who]:-0} + 1 ))
      if [ "$removed" = 1 ]; then
        echo "$kind $who run $r: silent removal ${remove_s} s" >&2
        rem[$who]+="$remove_s " gone[$who]=$(( ${gone[$who]:-0} + 1 ))
      fi
    done
  done
  for who in "${who_list[@]}"; do
    [ -n "${builds[$who]:-}" ] || { echo "| $kind | $who | build failed | | | | | | | no | | no |" >>"$table"; continue; }
    setup=$work/$who-setup.exe
    # shellcheck disable=SC2086
    {
      i_med=$(median ${inst[$who]})
      med[$kind.$who.build]=$(median ${builds[$who]}) med[$kind.$who.install]=$i_med
      [ -z "${rem[$who]:-}" ] || med[$kind.$who.remove]=$(median ${rem[$who]})
      printf '| %s MB, %s files | %s | %s | %s | %s | %s | %s | %s | %s | %s/%s | %s | %s/%s |\n' "$mb" "$files" "$who" \
        "$(spread ${builds[$who]})" "$(median ${bcpu[$who]})" "$(stat -c %s "$setup" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta')" \
        "$(spread ${inst[$who]})" "$(rate "$mb" "$i_med")" "$(median ${icpu[$who]})" \
        "$(mib "$(maximum ${peak[$who]})")" "${good[$who]:-0}" "$runs" \
        "$([ -n "${rem[$who]:-}" ] && spread ${rem[$who]} || echo -)" "${gone[$who]:-0}" "$runs"
    } >>"$table"
  done
  unset builds bcpu inst icpu peak good rem gone threads
done

{
  echo
  if [ "$peer" = 1 ]; then
    echo "| payload | build time Velkorin / NSIS | install MB/s Velkorin / NSIS | removal time Velkorin / NSIS |"
    echo "|---|---|---|---|"
    for kind in "${kinds[@]}"; do
      [ -n "${med[$kind.velkorin.install]:-}" ] && [ -n "${med[$kind.nsis.install]:-}" ] || continue
      echo "| $kind | $(ratio "${med[$kind.velkorin.build]}" "${med[$kind.nsis.build]}") | $(ratio "${med[$kind.nsis.install]}" "${med[$kind.velkorin.install]}") | $(ratio "${med[$kind.velkorin.remove]:-0}" "${med[$kind.nsis.remove]:-0}") |"
    done
  fi
  if [ -n "${med[files4000.velkorin.install]:-}" ] && [ -n "${med[files2000.velkorin.install]:-}" ]; then
    echo
    for who in "${who_list[@]}"; do
      echo "Install time, 4,000 files / 2,000 files, $who: $(ratio "${med[files4000.$who.install]}" "${med[files2000.$who.install]}")"
    done
  fi
  [ -z "${thread_line:-}" ] || { echo; echo "$thread_line"; }
  echo
  echo "Medians of $runs runs [min–max]; builds alternate, then installs alternate, each install followed by its silent removal. MB = 10^6 bytes of payload."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -sr), $(wine --version 2>/dev/null), load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
} >>"$table"

echo
cat "$table"
[ -z "${TABLE:-}" ] || cp "$table" "$TABLE"
exit $failed
