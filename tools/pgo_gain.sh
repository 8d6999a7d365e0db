#!/bin/bash
# Measures what profile-guided optimisation gives the release programs: the
# shipped tarvik-bench of each profile-guided target in dist/ against the same
# build without a profile, under the target's training command, in turns:
#   tools/pgo_gain.sh [RUNS] [TARGET ...]
# RUNS (default 5) bench runs of each; prints the median speeds and their
# ratio. Under an emulator the ratio is the emulated one.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
. tools/facts.sh
. tools/targets.sh
runs=${1:-5}
[ $# -eq 0 ] || shift
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || read -r -a chosen <<<"$(targets | tr '\n' ' ')"

work=build/pgo-gain
mkdir -p "$work"
median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }
speed() { "$@" | tr -d '\r' | sed -n 's/^Nodes\/second: //p'; }

printf '%-16s %12s %12s %7s\n' target pgo_nps plain_nps ratio
for target in "${chosen[@]}"; do
    load_target "$target"
    [ "${target_train[*]}" != none ] || continue
    name=tarvik-$TARVIK_VERSION-$target
    rm -rf "${work:?}/$target"
    mkdir -p "$work/$target"
    case $target_format in
    tar.gz) tar -C "$work/$target" -xzf "dist/$name.tar.gz" ;;
    zip) unzip -q "dist/$name.zip" -d "$work/$target" ;;
    esac
    plain=build/pgo-gain-$target
    target_configure "$plain" -DTARVIK_PGO= >"$plain.configure.log" 2>&1 || { cat "$plain.configure.log"; exit 1; }
    cmake --build "$plain" -j"$JOBS" --target tarvik-bench >/dev/null
    runner=("${target_train[@]}")
    [ "${runner[*]}" != native ] || runner=()
    : >"$work/$target/pgo" && : >"$work/$target/plain"
    for _ in $(seq "$runs"); do
        speed "${runner[@]}" "$work/$target/$name/tarvik-bench$target_exe" >>"$work/$target/pgo"
        speed "${runner[@]}" "$plain/tarvik-bench$target_exe" >>"$work/$target/plain"
    done
    pgo=$(median <"$work/$target/pgo")
    base=$(median <"$work/$target/plain")
    awk -v t="$target" -v p="$pgo" -v b="$base" 'BEGIN { printf "%-16s %12d %12d %7.3f\n", t, p, b, p / b }'
done
