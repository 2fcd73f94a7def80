#!/usr/bin/env bash
# Generates the workload once (40 files x 500 columns x 100 years by default) and its copies
# compressed with `gzip -6` and `zstd -3`, then runs, interleaved (plain, gzip, zstd, fscanf,
# plain, ...): pctlfit on each copy and the straightforward fscanf reading of the plain files.
# Prints the median wall time, the throughput in MB/s of uncompressed text and the peak memory
# of each, and the decompressors' own speed on the same files.
#   bench/run_benchmark.sh [BUILD_DIR] [FILES COLUMNS YEARS] [RUNS] [MODE]
set -euo pipefail
default_runs=5 default_mode=LN2
source "$(dirname "$0")/workload_args.sh"
echo "workload: $files files x $columns columns x $years years, $bytes bytes of text, mode $mode," \
  "threads ${PCTLFIT_THREADS:-default}"

declare -A seconds peak
variants=(plain gzip zstd fscanf)
# One run of a variant: its wall time (ms precision) and peak memory.
run_once() {
  local variant=$1 start end kib
  if [ "$variant" = fscanf ]; then
    cd "$work/plain"
    set -- "$build/bench/fscanf_reference" list.txt "$columns"
  else
    cd "$work/$variant"
    set -- "$build/pctlfit" -q -o "$work/$variant.sta" list.txt "$mode"
  fi
  start=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$work/.peak" "$@" > /dev/null 2>&1 < /dev/null
  end=$(date +%s.%N)
  read -r kib < "$work/.peak"
  seconds[$variant]+="$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.4f", e - s}') "
  [ "$kib" -gt "${peak[$variant]:-0}" ] && peak[$variant]=$kib
  return 0
}
for _ in $(seq "$runs"); do
  for variant in "${variants[@]}"; do run_once "$variant"; done
done
cmp -s <(tail -n +3 "$work/plain.sta") <(tail -n +3 "$work/gzip.sta") &&
  cmp -s <(tail -n +3 "$work/plain.sta") <(tail -n +3 "$work/zstd.sta") ||
  { echo "run_benchmark.sh: the compressed copies gave other figures" >&2; exit 1; }

plain_median=$(median "${seconds[plain]}")
for variant in "${variants[@]}"; do
  awk -v v="$variant" -v t="$(median "${seconds[$variant]}")" -v p="$plain_median" -v b="$bytes" \
    -v k="${peak[$variant]}" 'BEGIN {
      printf "%-7s median %.3f s  %7.1f MB/s  %5.1f %% of plain  peak %.1f MiB\n",
             v, t, b / t / 1e6, 100 * p / t, k / 1024 }'
done
echo "decompressors alone, same files:"
"$build/bench/decompress_bench" "$work"/gzip/*.gz "$work"/zstd/*.zst
