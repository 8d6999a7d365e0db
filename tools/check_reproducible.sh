#!/bin/bash
# Checks that a release build does not depend on the folder it is made in:
#   tools/check_reproducible.sh dist|deb
# clones this commit into a fresh folder elsewhere (another name, another
# depth), runs `make dist` or `make deb` there, and compares the SHA-256 sums
# the clone wrote with those of the same files in dist/ here, which must be
# this commit's build: the checkout may hold no change to a tracked file.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-}
case $what in
dist | deb) ;;
*)
    echo "usage: tools/check_reproducible.sh dist|deb" >&2
    exit 2
    ;;
esac
[ -f dist/SHA256SUMS ] || { echo "tarvik: no dist/SHA256SUMS: run make $what first" >&2; exit 1; }
if [ -n "$(git status --porcelain)" ]; then
    echo "tarvik: the checkout differs from its commit, so dist/ is not the commit's build:" >&2
    git status --short >&2
    exit 1
fi

other=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-elsewhere.XXXXXX")
trap 'rm -rf "$other"' EXIT
clone=$other/second/tarvik-$what
log=build/check-reproducible-$what.log
mkdir -p build "$other/second"
git clone -q . "$clone"
start=$SECONDS
if ! make -C "$clone" "$what" JOBS="${JOBS:-2}" >"$log" 2>&1; then
    tail -n 20 "$log"
    echo "tarvik: make $what failed in $clone; the whole log is $log" >&2
    exit 1
fi
built=$((SECONDS - start))

# Every file the clone built has the same sum here.
[ -s "$clone/dist/SHA256SUMS" ] || { echo "tarvik: make $what in $clone built nothing" >&2; exit 1; }
differing=$(grep -vxF -f dist/SHA256SUMS "$clone/dist/SHA256SUMS" || true)
if [ -n "$differing" ]; then
    echo "FAIL: built in $clone, these differ from dist/ here:"
    echo "$differing"
    echo "here:"
    cat dist/SHA256SUMS
    exit 1
fi
echo "make $what in $clone ($built s) gives the same files, byte for byte:"
cat "$clone/dist/SHA256SUMS"
