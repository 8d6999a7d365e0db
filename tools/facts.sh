# The release facts, each written once, for the scripts that source this file
# from the project root: the version in CMakeLists.txt's project() and the
# bench signature in bench/signature.
# shellcheck shell=sh
TARVIK_VERSION=$(sed -n 's/^project(tarvik VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
TARVIK_BENCH_NODES=$(cat bench/signature)
[ -n "$TARVIK_VERSION" ] || { echo "tarvik: no project(tarvik VERSION ...) in CMakeLists.txt" >&2; exit 1; }
[ -n "$TARVIK_BENCH_NODES" ] || { echo "tarvik: bench/signature is empty" >&2; exit 1; }
