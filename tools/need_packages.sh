#!/bin/sh
# Makes sure the Debian packages a build or check needs are installed:
#   tools/need_packages.sh KEY [KEY ...]
#   tools/need_packages.sh --list KEY      prints the KEY's packages
# The keys, their packages and what proves them present are in
# tools/packages.txt. When a need is missing, root installs its packages with
# apt-get (tools/apt.sh: waiting for any other install to finish); anyone
# else, or a failed install, gets one line naming the packages, and status 1.
set -eu
table=$(dirname "$0")/packages.txt
# shellcheck source=tools/apt.sh
. "$(dirname "$0")/apt.sh"
# The row of KEY as "PROOF PACKAGE..." and its description after a tab.
row() {
    awk -v key="$1" '$1 == key { line = $0; sub(/^[^ \t]+[ \t]+/, "", line)
        what = line; sub(/.*#[ \t]*/, "", what); sub(/[ \t]*#.*/, "", line)
        print line "\t" what; found = 1 } END { exit !found }' "$table"
}
installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" = "install ok installed" ]; }
present() {
    proof=$1
    shift
    case $proof in
    -) for package in "$@"; do installed "$package" || return 1; done ;;
    /*) [ -e "$proof" ] ;;
    *) command -v "$proof" >/dev/null 2>&1 ;;
    esac
}

if [ "${1:-}" = --list ]; then
    line=$(row "$2") || { echo "tarvik: no need $2 in $table" >&2; exit 2; }
    # shellcheck disable=SC2086 # the packages are words
    set -- ${line%%"	"*}
    shift
    echo "$@"
    exit 0
fi

status=0
for key in "$@"; do
    line=$(row "$key") || { echo "tarvik: no need $key in $table" >&2; exit 2; }
    what=${line#*"	"}
    # shellcheck disable=SC2086 # the proof and the packages are words
    set -- ${line%%"	"*}
    proof=$1
    shift
    present "$proof" "$@" && continue
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
        echo "installing $what: $*"
        apt_log=${TMPDIR:-/tmp}/tarvik-apt.log
        : >"$apt_log"
        apt_install "$@" || true
        present "$proof" "$@" && continue
    fi
    echo "tarvik: $what missing ($proof not found): install the Debian package(s) $* (apt-get install $*)" >&2
    status=1
done
exit $status
