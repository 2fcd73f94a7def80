#!/usr/bin/env bash
# Whether --memory bounds what --sample holds: for each case, the peak resident size of the run
# with --sample --memory=SIZE against the same run without --sample, and the bound
# plain + SIZE + 8 MiB. Where pctlfit refuses the budget, it names the least one that works; the
# case then runs at that budget. Also the cost of many levels: 300 levels against 9, each with
# the same room for values beside its bookkeeping, on 40 columns, at most 5 times the time.
# Prints one line per case and ends with status 1 if any bound is broken.
#   bench/memory_bounds.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
pctlfit=$build/pctlfit
broken=0

# peak_kib DIR ARGS...: the peak resident size in KiB of pctlfit ARGS run in DIR; its stderr in
# DIR/said.txt (a refusal is on standard output) and its status in DIR/status.
peak_kib() {
  local dir=$1; shift
  (cd "$dir" && { /usr/bin/time -f %M -o time.txt "$pctlfit" -q -o out.sta --table out.csv "$@" \
      > said.txt 2>&1 < /dev/null; echo $? > status; } || true; tail -1 time.txt)
}

mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

size_mib() {  # 8M, 1G, 512K as MiB
  awk -v s="$1" 'BEGIN {n = s + 0; u = substr(s, length(s));
    print (u == "K" ? n / 1024 : u == "G" ? n * 1024 : n)}'
}

# bound_case NAME DIR MEMORY LIST [ARGS...]
bound_case() {
  local name=$1 dir=$2 memory=$3 list=$4; shift 4
  local plain peak budget status
  plain=$(peak_kib "$dir" "$list" "$@")
  budget=$memory
  peak=$(peak_kib "$dir" --sample --memory="$budget" "$list" "$@")
  status=$(cat "$dir/status")
  if [ "$status" = 1 ]; then
    budget=$(sed -n 's/.*is below the \([0-9]*[KMG]\) that.*/\1/p' "$dir/said.txt" | head -1)
    [ -n "$budget" ] || { echo "$name: status 1 without a least budget"; broken=1; return; }
    echo "$name: --memory=$memory refused, least $budget"
    peak=$(peak_kib "$dir" --sample --memory="$budget" "$list" "$@")
    status=$(cat "$dir/status")
  fi
  local bound verdict=within
  bound=$(awk -v p="$plain" -v m="$(size_mib "$budget")" 'BEGIN {printf "%d", p + (m + 8) * 1024}')
  if [ "$status" != 0 ] || [ "$peak" -gt "$bound" ]; then verdict=BROKEN; broken=1; fi
  echo "$name: --memory=$budget peak $(mib "$peak") MiB, plain $(mib "$plain") MiB," \
    "bound $(mib "$bound") MiB, status $status: $verdict"
}

generated() {  # generated FILES COLUMNS YEARS: the generated workload's plain folder
  echo "$("$here/make_workload.sh" "$build" "$@")/plain"
}

one_cell() {  # 8 million values of one column in January, with 15 digits each
  local dir=$here/work/one_cell
  if [ ! -f "$dir/list.txt" ]; then
    mkdir -p "$dir"
    awk 'BEGIN {srand(7); print "one cell"; print "YYYY MM DD H\tQ1"; print "m3/s";
      for (i = 0; i < 8000000; i++)
        printf "%d 1 %d %d\t%.15g\n", 1000 + int(i / 672), 1 + int(i / 24) % 28, i % 24,
          exp(4 + rand() * 2)}' > "$dir/one.dat"
    echo one.dat > "$dir/list.txt"
  fi
  echo "$dir"
}

levels9=1,5,10,25,50,75,90,95,99
levels300=$(seq -s, 0.3 0.3 90)
bench=$(generated 40 500 100)
bound_case "benchmark 40x500x100" "$bench" 8M list.txt
bound_case "benchmark 40x500x100" "$bench" 64M list.txt
bound_case "benchmark, 300 levels" "$bench" 8M list.txt --levels="$levels300"
wide=$(generated 4 5000 30)
bound_case "5000 columns x 4 files" "$wide" 1M list.txt
bound_case "5000 columns x 4 files" "$wide" 8M list.txt
widest=$(generated 2 100000 3)
bound_case "100000 columns x 2 files" "$widest" 8M list.txt
bound_case "one cell of 8 million values" "$(one_cell)" 64M list.txt

# Many levels: the same room for values (8M) beside each run's bookkeeping.
narrow=$(generated 40 40 400)
seconds() {
  local start end
  start=$(date +%s.%N)
  (cd "$narrow" && "$pctlfit" -q -o out.sta --table out.csv --sample "$@" list.txt \
    > /dev/null 2>&1 < /dev/null)
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f", e - s}'
}
least() {  # the least budget for these levels, in MiB, as the refusal of 1K names it
  (cd "$narrow" && { "$pctlfit" -q -o out.sta --table out.csv --sample --memory=1K "$@" \
    list.txt 2> /dev/null || true; } | sed -n 's/.*is below the \([0-9]*\)M that.*/\1/p')
}
memory9=$(( $(least --levels=$levels9) + 8 ))M
memory300=$(( $(least --levels="$levels300") + 8 ))M
t9="" t300=""
for _ in 1 2 3 4 5; do
  t9+="$(seconds --memory="$memory9" --levels=$levels9) "
  t300+="$(seconds --memory="$memory300" --levels="$levels300") "
done
median() { printf '%s\n' $1 | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m9=$(median "$t9") m300=$(median "$t300")
ratio=$(awk -v a="$m300" -v b="$m9" 'BEGIN {printf "%.2f", a / b}')
verdict=within
awk -v r="$ratio" 'BEGIN {exit !(r > 5)}' && { verdict=BROKEN; broken=1; }
echo "40x40x400, 300 levels at --memory=$memory300 against 9 at $memory9:" \
  "$m300 s / $m9 s = ${ratio}x (at most 5x): $verdict"
exit $broken
