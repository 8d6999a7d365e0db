#!/usr/bin/env bash
# Installs the Debian packages the xboard end-to-end game test needs; a no-op when all are present.
# Usage: tests/e2e/install_deps.sh [EXTRA_PACKAGE...]   (e.g. stockfish, to try the harness without our engine)
set -euo pipefail

# The packages are the "e2e" need of tools/packages.txt.
read -r -a packages <<<"$("$(dirname "$0")/../../tools/need_packages.sh" --list e2e)"
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    # dpkg-query reports "install ok installed" only for fully configured packages.
    if [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "e2e deps: all present (${packages[*]})"
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null 2>&1 || { echo "e2e deps: missing ${missing[*]} and not root (no sudo)" >&2; exit 1; }
    exec sudo "$0" "$@"
fi

echo "e2e deps: installing ${missing[*]}"
# shellcheck source=tools/apt.sh
. "$(dirname "$0")/../../tools/apt.sh"
apt_install "${missing[@]}"
