#!/bin/bash
# Package installs wait for another install's lock instead of failing: while
# a stand-in for apt holds one of its locks for a few seconds (an fcntl write
# lock on the whole file, as apt takes it, through python3's fcntl.lockf),
# the functions of tools/apt.sh wait, say what they wait for, and succeed
# once it is let go; given a shorter wait, they give up and name the holder.
# Needs root, since it installs, and removes again, the small package "hello".
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "$(id -u)" = 0 ] || { echo "tests/apt/lock_wait.sh installs packages: run it as root" >&2; exit 1; }
tools/need_packages.sh python3
. tools/apt.sh

work=$(mktemp -d)
holder=""
trap '[ -z "$holder" ] || kill "$holder" 2>/dev/null; rm -rf "$work"' EXIT
package=hello
installed() { [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" = "install ok installed" ]; }
installed && had=1 || had=""
install=("$package")
[ -z "$had" ] || install=(--reinstall "$package")

# Holds LOCK for SECONDS; $work/held appears once it holds it, $work/released
# just before it lets go.
hold() {
    rm -f "$work/held" "$work/released"
    python3 - "$1" "$2" "$work" <<'PYTHON' &
import fcntl, os, sys, time
lock, seconds, work = sys.argv[1], float(sys.argv[2]), sys.argv[3]
with open(lock, "a") as f:
    fcntl.lockf(f, fcntl.LOCK_EX)
    open(os.path.join(work, "held"), "w").close()
    time.sleep(seconds)
    open(os.path.join(work, "released"), "w").close()
PYTHON
    holder=$!
    while [ ! -e "$work/held" ]; do
        kill -0 "$holder" 2>/dev/null || { echo "tarvik: python3 could not hold $1" >&2; exit 1; }
        sleep 0.1
    done
}

failures=0
fail() {
    echo "FAIL [$case] $*"
    failures=$((failures + 1))
}

# Each case: its name, the lock held, for how long, the wait allowed, whether
# the step must succeed, and the step.
cases=(
    "install during another install|/var/lib/dpkg/lock-frontend|4|600|yes|apt_install ${install[*]}"
    "list update during another one|/var/lib/apt/lists/lock|4|600|yes|apt_get update"
    "a wait shorter than the install|/var/lib/dpkg/lock-frontend|8|2|no|apt_get purge $package"
)
for row in "${cases[@]}"; do
    IFS='|' read -r case lock seconds wait succeed step <<<"$row"
    hold "$lock" "$seconds"
    start=$SECONDS
    status=0
    # shellcheck disable=SC2086 # the step is words
    (TARVIK_LOCK_WAIT=$wait apt_log=$work/apt.log $step) 2>"$work/said" || status=$?
    took=$((SECONDS - start))
    [ -e "$work/released" ] && released=yes || released=no
    wait "$holder" || true
    holder=""
    said=$(cat "$work/said")
    echo "[$case] status $status after $took s, the lock let go before the end: $released; said: $said"
    grep -qF "waiting up to $wait s for another install: $lock, held by" <<<"$said" ||
        fail "no word of the wait for $lock"
    grep -qF "(python3)" <<<"$said" || fail "the holder is not named"
    if [ "$succeed" = yes ]; then
        [ "$status" = 0 ] || fail "failed with status $status: $(tail -n 5 "$work/apt.log")"
        [ "$released" = yes ] || fail "ended before the lock was let go"
    else
        [ "$status" != 0 ] || fail "succeeded while the lock was held"
        [ "$released" = no ] || fail "waited until the lock was let go"
        grep -qF "giving up" <<<"$said" || fail "did not say it gave up"
    fi
done
installed || fail "$package is not installed after the cases"

if [ -z "$had" ]; then
    apt_get purge "$package" >/dev/null
fi
if [ "$failures" -ne 0 ]; then
    echo "tests/apt/lock_wait.sh: $failures check(s) failed"
    exit 1
fi
echo "installs wait for the dpkg and list locks, say so, and give up only after the wait"
