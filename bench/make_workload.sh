#!/usr/bin/env bash
# Makes the benchmark workload once, if it is not there: FILES files x COLUMNS columns x YEARS
# years of generated monthly values in DIR/plain, and their copies compressed with `gzip -6` and
# `zstd -3` in DIR/gzip and DIR/zstd, each folder with its list.txt. Prints DIR.
#   bench/make_workload.sh BUILD_DIR FILES COLUMNS YEARS
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1; files=$2; columns=$3; years=$4
work="$here/work/${files}x${columns}x${years}"
for tool in /usr/bin/time gzip zstd; do
  if ! command -v "$tool" > /dev/null; then
    echo "$(basename "$0"): needs $tool (Debian: apt-get install time gzip zstd)" >&2
    exit 1
  fi
done
if [ ! -f "$work/zstd/list.txt" ]; then
  mkdir -p "$work/plain" "$work/gzip" "$work/zstd"
  "$build/bench/generate_workload" "$work/plain" "$files" "$columns" "$years" 42 > /dev/null
  for file in $(cat "$work/plain/list.txt"); do
    gzip -6 -c "$work/plain/$file" > "$work/gzip/$file.gz"
    zstd -q -3 -c "$work/plain/$file" > "$work/zstd/$file.zst"
  done
  sed 's/$/.gz/' "$work/plain/list.txt" > "$work/gzip/list.txt"
  sed 's/$/.zst/' "$work/plain/list.txt" > "$work/zstd/list.txt"
fi
echo "$work"
