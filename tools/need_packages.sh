#!/bin/sh
# Makes sure the Debian packages a build or check needs are installed:
#   tools/need_packages.sh WHAT COMMAND PACKAGE [PACKAGE ...]
# COMMAND (a program name, or the absolute path of a file) proves the packages
# are there.
# When it is missing, root installs the packages with apt-get; anyone else,
# or a failed install, gets one line naming the packages, and status 1.
set -eu
what=$1
command=$2
shift 2
present() { case $1 in /*) [ -e "$1" ] ;; *) command -v "$1" >/dev/null 2>&1 ;; esac; }
present "$command" && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing $what: $*"
    { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"; } \
        >"${TMPDIR:-/tmp}/tarvik-apt.log" 2>&1 || true
    present "$command" && exit 0
fi
echo "tarvik: $what missing ($command not found): install the Debian package(s) $* (apt-get install $*)" >&2
exit 1
