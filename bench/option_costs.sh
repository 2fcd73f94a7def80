#!/usr/bin/env bash
# What the table's further figures cost: pctlfit on the benchmark workload's plain files with
# --sample (the values kept in memory), --sample --memory=64M (narrowed in further passes),
# --compare-fits and --ci (alone and with either --sample), each against a plain --table run of
# the same binary, the variants interleaved
# in every round (plain, each option, plain, ...), so that a drift in the machine's speed falls on
# all alike. Prints per variant the median wall time, the throughput in MB/s of text, the peak
# resident size and the ratio to the plain --table run. PAUSE=SECONDS waits that long before each
# run: a virtual machine may hand the memory a run freed back to its host, and a run that starts
# after a pause, as most do, pays for that memory's first touch again.
#   [PAUSE=S] bench/option_costs.sh [BUILD_DIR] [FILES COLUMNS YEARS] [RUNS] [MODE]
set -euo pipefail
default_runs=7 default_mode=NV
source "$(dirname "$0")/workload_args.sh"
variants=("plain --table" "--sample" "--sample --memory=64M" "--compare-fits" "--ci"
  "--sample --ci" "--sample --memory=64M --ci")
echo "workload: $files files x $columns columns x $years years, $bytes bytes of text, mode $mode, pause ${PAUSE:-0} s"

declare -A seconds peak
cd "$work/plain"
for _ in $(seq "$runs"); do
  for i in "${!variants[@]}"; do
    options=${variants[$i]#plain --table}
    sleep "${PAUSE:-0}"
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$work/time.$i" "$build/pctlfit" -q -o "$work/costs.sta" \
      --table "$work/costs.csv" $options list.txt "$mode" > /dev/null 2>&1 < /dev/null
    end=$(date +%s.%N)
    seconds[$i]+="$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.4f", e - s}') "
    peak[$i]=$(cat "$work/time.$i")
  done
done

plain=$(median "${seconds[0]}")
for i in "${!variants[@]}"; do
  awk -v v="${variants[$i]}" -v t="$(median "${seconds[$i]}")" -v p="$plain" -v b="$bytes" \
    -v k="${peak[$i]}" 'BEGIN {
      printf "%-22s median %.3f s  %7.1f MB/s  peak %6.1f MiB  %.2fx plain --table\n",
             v, t, b / t / 1e6, k / 1024, t / p }'
done
