# The facts each written once, for the scripts and make rules that source
# this file from the project root: the version in CMakeLists.txt's project(),
# the bench signature in bench/signature, and the perft caps of
# tests/data/perft_caps.txt through perft_caps (which CMake reads on its own:
# the test perft_caps_readers holds the two readers together).
# shellcheck shell=sh
TARVIK_VERSION=$(sed -n 's/^project(tarvik VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
TARVIK_BENCH_NODES=$(cat bench/signature)
[ -n "$TARVIK_VERSION" ] || { echo "tarvik: no project(tarvik VERSION ...) in CMakeLists.txt" >&2; exit 1; }
[ -n "$TARVIK_BENCH_NODES" ] || { echo "tarvik: bench/signature is empty" >&2; exit 1; }

# The perft suites checked in BUILD (release, sanitize or package), as
# "SUITE NODES" lines: each suite with its node cap.
perft_caps() {
    awk -v build="$1" '!/^#/ && $2 == build { print $1, $3; n++ }
        END { if (!n) { print "tarvik: no " build " caps in tests/data/perft_caps.txt" >"/dev/stderr"; exit 1 } }' \
        tests/data/perft_caps.txt
}
