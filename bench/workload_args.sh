# Sourced by the benchmark scripts: reads their arguments [BUILD_DIR] [FILES COLUMNS YEARS]
# [RUNS] [MODE] (defaults: build, 40 500 100, $default_runs, $default_mode), makes the workload
# if it is not there, and sets build, files, columns, years, runs, mode, work and bytes (of text);
# defines median (of the words of its argument).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
files=${2:-40}; columns=${3:-500}; years=${4:-100}
runs=${5:-$default_runs}; mode=${6:-$default_mode}
work=$("$here/make_workload.sh" "$build" "$files" "$columns" "$years")
bytes=$(cd "$work/plain" && cat $(cat list.txt) | wc -c)
median() { printf '%s\n' $1 | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
