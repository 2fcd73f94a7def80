#!/usr/bin/env bash
# How a run scales with its threads: pctlfit on the benchmark workload (plain, gzip and zstd
# copies) with PCTLFIT_THREADS 1, 2, 4, 8 and 16, up to twice this machine's cores, the thread
# counts interleaved in every round (1 2 4 ... 1 2 4 ...), so that a drift in the machine's speed
# falls on all alike. Prints per variant and thread count the median wall time, the throughput
# in MB/s of uncompressed text and the speed-up over one thread.
#   bench/thread_scaling.sh [BUILD_DIR] [FILES COLUMNS YEARS] [RUNS] [MODE]
set -euo pipefail
default_runs=7 default_mode=NV
source "$(dirname "$0")/workload_args.sh"
cores=$(nproc)
counts=()
for threads in 1 2 4 8 16; do
  [ "$threads" -le $((2 * cores)) ] && counts+=("$threads")
done
echo "workload: $files files x $columns columns x $years years, $bytes bytes of text, mode $mode," \
  "$cores cores"

declare -A seconds
for _ in $(seq "$runs"); do
  for variant in plain gzip zstd; do
    for threads in "${counts[@]}"; do
      cd "$work/$variant"
      start=$(date +%s.%N)
      PCTLFIT_THREADS=$threads "$build/pctlfit" -q -o "$work/$variant.$threads.sta" list.txt \
        "$mode" > /dev/null 2>&1 < /dev/null
      end=$(date +%s.%N)
      seconds[$variant.$threads]+="$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.4f", e - s}') "
    done
  done
done

for variant in plain gzip zstd; do
  one=$(median "${seconds[$variant.1]}")
  for threads in "${counts[@]}"; do
    cmp -s "$work/$variant.1.sta" "$work/$variant.$threads.sta" ||
      { echo "thread_scaling.sh: $threads threads gave another report" >&2; exit 1; }
    awk -v v="$variant" -v n="$threads" -v t="$(median "${seconds[$variant.$threads]}")" \
      -v o="$one" -v b="$bytes" 'BEGIN {
        printf "%-5s %2d threads  median %.3f s  %7.1f MB/s  %.2fx one thread\n",
               v, n, t, b / t / 1e6, o / t }'
  done
done
