#!/bin/sh
# Runs shellcheck (warnings and errors) on every shell script of the
# checkout: the tracked files named *.sh or starting with a sh or bash line,
# following the files they source (from the project root, as they do).
set -eu
cd "$(dirname "$0")/.."
tools/need_packages.sh shellcheck
git ls-files -z | xargs -0 awk 'FNR == 1 { if (FILENAME ~ /\.sh$/ || /^#!.*[\/ ](ba)?sh( |$)/) print FILENAME; nextfile }' |
    tr '\n' '\0' | xargs -0 shellcheck -x -S warning
