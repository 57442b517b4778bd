#!/usr/bin/env bash
# A fuzzing campaign: every target (or the ones named) in turn, niced, each until it has run the
# given number of inputs or its time is up, in a scratch folder (a corpus that grows there and
# the artifacts of any finding). Prints one line per target: executions, executions per second,
# libFuzzer's coverage figures (cov: edges, ft: features), corpus size and findings (crash, leak,
# timeout and out-of-memory inputs), and exits 1 when there was any finding.
# A campaign may take several sittings: each one goes on from the corpus the earlier ones grew in
# the same scratch folder, and SCRATCH/NAME/sittings.txt records each sitting's executions, so
# that the "total" column sums every sitting (-n then counts what is left to run).
#
# Usage: campaign.sh [-n EXECUTIONS] [-t SECONDS] [-b FUZZ_BUILD_DIR] [-s SCRATCH] [-k] [TARGET...]
#   -n  inputs per target (default 10000000)
#   -t  time limit per target in seconds (default 0: none)
#   -b  the fuzz sub-build with the NAME_fuzz programs (default build/fuzz)
#   -s  scratch folder (default a new one under /tmp); kept, so that a later campaign goes on
#       from the corpus it grew
#   -k  keep: after a sitting without findings, merge the grown corpus into the seed corpus
#       (corpus/NAME): only the inputs that reach coverage the seeds do not are added, so that
#       the short fuzz runs of every test run start from where the campaign got to
# A finding's input is left in SCRATCH/NAME/artifacts/; once fixed, copy it into corpus/NAME.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
runs=10000000 seconds=0 build="$root/build/fuzz" scratch="" keep=0
while getopts "n:t:b:s:k" option; do
  case $option in
    n) runs=$OPTARG ;;
    t) seconds=$OPTARG ;;
    b) build=$OPTARG ;;
    s) scratch=$OPTARG ;;
    k) keep=1 ;;
    *) sed -n '2,18p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -n "$scratch" ] || scratch=$(mktemp -d /tmp/velkorin-fuzz-campaign-XXXXXX)
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in "$here"/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzz}")
  done
fi

# With -k, and when WORK holds no finding, merges WORK/corpus into SEEDS (libFuzzer's -merge=1
# adds to its first folder only the inputs that bring new features) and says how many seeds were
# added.
keep_corpus() {
  local program=$1 seeds=$2 work=$3 count_before count_after
  [ "$keep" -eq 1 ] && [ -z "$(find "$work/artifacts" -type f)" ] || return 0
  count_before=$(find "$seeds" -type f | wc -l)
  nice -n 19 "$program" -merge=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" \
    "$seeds" "$work/corpus" >"$work/merge.log" 2>&1
  count_after=$(find "$seeds" -type f | wc -l)
  printf '%-16s kept %d new seeds in %s (%s bytes in all)\n' "$(basename "$seeds")" \
    $((count_after - count_before)) "$seeds" "$(du -sb "$seeds" | cut -f1)" | tee -a "$table"
}

mkdir -p "$scratch"
printf 'scratch: %s\n' "$scratch"
table="$scratch/campaign.txt"
printf '%-16s %12s %12s %9s %8s %8s %7s  %s\n' target executions total exec/s cov ft corpus findings | tee "$table"
status=0
for target in "${targets[@]}"; do
  program="$build/${target}_fuzz"
  work="$scratch/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  if [ ! -x "$program" ]; then
    printf '%-16s %s\n' "$target" "not built ($program)" | tee -a "$table"
    status=1
    continue
  fi
  log="$work/fuzz.log"
  sittings="$work/sittings.txt"
  before=$(awk '{sum += $2} END {print sum + 0}' "$sittings" 2>/dev/null || echo 0)
  left=$(( runs > before ? runs - before : 0 ))
  if [ "$left" -eq 0 ]; then
    printf '%-16s %12s %12s  %s\n' "$target" 0 "$before" "done in earlier sittings" | tee -a "$table"
    keep_corpus "$program" "$here/corpus/$target" "$work"
    continue
  fi
  started=$(date +%s)
  ASAN_OPTIONS=detect_leaks=1 nice -n 19 "$program" -runs="$left" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$here/corpus/$target" >"$log" 2>&1
  elapsed=$(( $(date +%s) - started ))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ -z "$executions" ]; then
    # A finding ends the run before the final statistics: take the last status line instead.
    executions=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    rate=$(( ${executions:-0} / (elapsed > 0 ? elapsed : 1) ))
  fi
  printf '%s %s %s %s\n' "$(date -u +%FT%TZ)" "${executions:-0}" "$elapsed" \
    "$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)" >>"$sittings"
  total=$(( before + ${executions:-0} ))
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  corpus=$(grep -o 'corp: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  findings=$(find "$work/artifacts" -type f | wc -l)
  described="none"
  if [ "$findings" -gt 0 ]; then
    described="$findings: $(find "$work/artifacts" -type f -printf '%f ' | head -c 200)"
    status=1
  fi
  printf '%-16s %12s %12s %9s %8s %8s %7s  %s\n' "$target" "${executions:-?}" "$total" "${rate:-?}" "${coverage:-?}" \
    "${features:-?}" "${corpus:-?}" "$described" | tee -a "$table"
  keep_corpus "$program" "$here/corpus/$target" "$work"
done
exit $status
