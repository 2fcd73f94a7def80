#!/bin/sh
# Runs a Windows program under Wine for CTest, quietly, in the prefix named by WINEPREFIX (the
# build's own by default). Start `wineserver -p` first when running many: each start is then fast.
: "${WINEPREFIX:=${PCTLFIT_WINEPREFIX:-$HOME/.wine-pctlfit}}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
