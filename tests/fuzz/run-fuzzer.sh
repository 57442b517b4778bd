#!/usr/bin/env bash
# Runs one fuzz target for a few seconds over its seed corpus (read-only) plus a scratch corpus.
# Usage: run-fuzzer.sh TARGET SEED_DIR WORK_DIR SECONDS
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus" "$work/artifacts"
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
