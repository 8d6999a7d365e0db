#!/bin/sh
# Builds two commits the same way and times their bench and perft runs
# alternately in one sitting, printing medians and the new/old speed ratio.
#
#   bench/compare.sh OLD_COMMIT [NEW_COMMIT] [RUNS]
#
# NEW_COMMIT defaults to the working tree; RUNS (default 5) runs of each
# program per build. Extra CMake flags for both builds: CMAKE_FLAGS="...".
set -eu

old=${1:?usage: bench/compare.sh OLD_COMMIT [NEW_COMMIT] [RUNS]}
new=${2:-WORKTREE}
runs=${3:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
work=${COMPARE_DIR:-$root/build/compare}
mkdir -p "$work"

# Checks out and builds one commit into $work/<name>; WORKTREE builds the
# current tree as it stands.
build() {
    name=$1 rev=$2
    if [ "$rev" = WORKTREE ]; then
        src=$root
    else
        src=$work/src-$name
        rm -rf "$src"
        git -C "$root" worktree prune
        git -C "$root" worktree add --detach --force "$src" "$rev" >/dev/null 2>&1
    fi
    cmake -S "$src" -B "$work/$name" -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF ${CMAKE_FLAGS:-} >/dev/null
    cmake --build "$work/$name" -j2 --target tarvik-bench tarvik-perft >/dev/null
}

# Wall time in seconds of one command.
seconds() {
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

median() { sort -n | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.3f", m}'; }

build old "$old"
build new "$new"

kiwipete="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
sig_old=$("$work/old/tarvik-bench" | grep 'Nodes searched')
sig_new=$("$work/new/tarvik-bench" | grep 'Nodes searched')
echo "old $old: $sig_old"
echo "new $new: $sig_new"
[ "$sig_old" = "$sig_new" ] || echo "WARNING: the bench signatures differ: the search does not do the same work"

for what in bench perft6 kiwipete5; do
    : >"$work/$what.old"
    : >"$work/$what.new"
done
i=0
while [ $i -lt "$runs" ]; do
    for side in old new; do
        bin=$work/$side
        seconds "$bin/tarvik-bench" >>"$work/bench.$side"
        seconds "$bin/tarvik-perft" 6 >>"$work/perft6.$side"
        seconds "$bin/tarvik-perft" 5 "$kiwipete" >>"$work/kiwipete5.$side"
    done
    i=$((i + 1))
done

printf '%-10s %10s %10s %8s\n' run old_s new_s speedup
for what in bench perft6 kiwipete5; do
    o=$(median <"$work/$what.old")
    n=$(median <"$work/$what.new")
    printf '%-10s %10s %10s %8.2f\n' "$what" "$o" "$n" "$(echo "$o / $n" | bc -l)"
done
