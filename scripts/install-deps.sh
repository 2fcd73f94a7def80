#!/usr/bin/env bash
# usage: scripts/install-deps.sh [build|test|ci]
# Installs, on Debian, the packages this machine lacks for building pctlfit (build), for its
# tests too (test, the default) or for every stage of .ci/run (ci), and says which it installs.
# Runs apt-get as root, through sudo otherwise. A machine that has them all is left as it is.
set -euo pipefail

build=(cmake g++ make pkg-config libisal-dev libzstd-dev libboost-dev)
test=("${build[@]}" libgtest-dev zlib1g-dev groff-base libxml2-utils)
ci=("${test[@]}"
  libbenchmark-dev time gzip zstd                                 # the benchmarks and their workload
  clang libclang-rt-14-dev                                        # the fuzz targets
  valgrind                                                        # the example under valgrind
  librsvg2-bin                                                    # the chart as PNG and PDF
  dpkg-dev lintian                                                # the Debian package and its check
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 unzip)  # the Windows build

case "${1:-test}" in
  build) wanted=("${build[@]}") ;;
  test) wanted=("${test[@]}") ;;
  ci) wanted=("${ci[@]}") ;;
  *) echo "usage: $0 [build|test|ci]" >&2; exit 1 ;;
esac

if ! command -v dpkg-query > /dev/null; then
  echo "install-deps: not a Debian system; install by hand: ${wanted[*]}" >&2
  exit 0
fi

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2> /dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo > /dev/null; then
  as_root=(sudo)
else
  echo "install-deps: these packages are missing and neither root nor sudo can install them:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  "${missing[@]}" > /dev/null
