#!/bin/sh
# Trains a TARVIK_PGO=GENERATE build, for `make pgo`, tools/dist.sh and
# debian/rules alike:
#   tools/pgo_train.sh BUILD [RUNNER ...]
# runs BUILD's instrumented tarvik-bench and tarvik-perft 5, under RUNNER (an
# emulator) if given, into a fresh BUILD/pgo-profile, which TARVIK_PGO=USE
# then reads. Both runs are deterministic, so every build gets one profile.
set -eu
build=$1
shift
exe=""
[ ! -e "$build/tarvik-bench.exe" ] || exe=.exe
rm -rf "$build/pgo-profile"
"$@" "$build/tarvik-bench$exe" >/dev/null
"$@" "$build/tarvik-perft$exe" 5 >/dev/null
