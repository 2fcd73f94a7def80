#!/usr/bin/env bash
# Generates the workload once (40 files x 500 columns x 100 years by default), runs pctlfit on it
# several times and prints the median wall time, the throughput and the peak memory, next to the
# straightforward fscanf reading of the same files.
#   bench/run_benchmark.sh [BUILD_DIR] [FILES COLUMNS YEARS] [RUNS] [MODE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
files=${2:-40}; columns=${3:-500}; years=${4:-100}; runs=${5:-5}; mode=${6:-LN2}
work="$here/work/${files}x${columns}x${years}"

if [ ! -x /usr/bin/time ]; then
  echo "run_benchmark.sh: needs /usr/bin/time for the peak memory (Debian: apt-get install time)" >&2
  exit 1
fi
if [ ! -f "$work/list.txt" ]; then
  mkdir -p "$work"
  "$build/bench/generate_workload" "$work" "$files" "$columns" "$years" 42
fi
cd "$work"
bytes=$(cat $(cat list.txt) | wc -c)
echo "workload: $files files x $columns columns x $years years, $bytes bytes, mode $mode, threads ${PCTLFIT_THREADS:-default}"

# Runs "$@" $runs times; prints median seconds and the largest peak RSS in KiB.
measure() {
  local times=() peak=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %M' -o .time "$@" > /dev/null 2>&1 < /dev/null
    read -r seconds kib < .time
    times+=("$seconds")
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "$median $peak"
}

read -r t_fast kib_fast < <(measure "$build/pctlfit" list.txt "$mode")
read -r t_ref kib_ref < <(measure "$build/bench/fscanf_reference" list.txt "$columns")
awk -v b="$bytes" -v t="$t_fast" -v k="$kib_fast" -v tr="$t_ref" -v kr="$kib_ref" 'BEGIN {
  printf "pctlfit:          median %.3f s  %7.1f MB/s  peak %.1f MiB\n", t, b / t / 1e6, k / 1024
  printf "fscanf reference: median %.3f s  %7.1f MB/s  peak %.1f MiB\n", tr, b / tr / 1e6, kr / 1024
  printf "speed-up: %.1fx\n", tr / t
}'
