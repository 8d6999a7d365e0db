#!/bin/bash
# Measures what profile-guided optimisation gives the release programs: the
# shipped tarvik-bench and tarvik-perft of each profile-guided target in
# dist/ against the same build without a profile, under the target's
# training command, in turns:
#   tools/pgo_gain.sh [RUNS] [TARGET ...]
# RUNS (default 5) runs of each of the bench and of perft from the start
# position to PERFT_DEPTH (default 6); prints the median speeds and their
# ratios. Under an emulator the ratio is the emulated one.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
. tools/facts.sh
. tools/targets.sh
runs=${1:-5}
depth=${PERFT_DEPTH:-6}
[ $# -eq 0 ] || shift
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || read -r -a chosen <<<"$(targets | tr '\n' ' ')"

work=build/pgo-gain
mkdir -p "$work"
median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }
speed() { "$@" | tr -d '\r' | sed -n 's/^Nodes\/second: //p'; }

printf '%-16s %-8s %12s %12s %7s\n' target run pgo_nps plain_nps ratio
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
    cmake --build "$plain" -j"$JOBS" --target tarvik-bench tarvik-perft >/dev/null
    runner=("${target_train[@]}")
    [ "${runner[*]}" != native ] || runner=()
    for run in bench "perft $depth"; do
        read -r program args <<<"tarvik-$run"
        : >"$work/$target/pgo" && : >"$work/$target/plain"
        for _ in $(seq "$runs"); do
            # shellcheck disable=SC2086 # the depth, if any, is a word
            speed "${runner[@]}" "$work/$target/$name/$program$target_exe" $args >>"$work/$target/pgo"
            # shellcheck disable=SC2086
            speed "${runner[@]}" "$plain/$program$target_exe" $args >>"$work/$target/plain"
        done
        pgo=$(median <"$work/$target/pgo")
        base=$(median <"$work/$target/plain")
        awk -v t="$target" -v r="${run// /}" -v p="$pgo" -v b="$base" \
            'BEGIN { printf "%-16s %-8s %12d %12d %7.3f\n", t, r, p, b, p / b }'
    done
done
