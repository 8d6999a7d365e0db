#!/bin/sh
# Runs a Windows program under wine64 in the project's own wine prefix, made
# on first use in build/; wine's own chatter is silenced.
#   tools/wine64.sh PROGRAM.exe [ARGUMENT ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
WINEPREFIX=$root/build/wine-prefix WINEDEBUG=-all exec /usr/lib/wine/wine64 "$@"
