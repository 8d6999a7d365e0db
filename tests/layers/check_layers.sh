#!/bin/sh
# Fails when a source file includes a header from a layer above its own. The
# engine is built bottom to top; each line below is one layer, lowest first,
# and a file may include headers of lower layers and of its own module only.
set -eu
cd "${1:-$(dirname "$0")/../..}"

LAYERS='
src/bit/bit
src/chess/types
src/chess/utility
src/chess/move
src/chess/masks src/chess/zobrist
src/eval/values
src/misc/misc src/misc/platform
src/chess/attacks
src/chess/position
src/chess/move_gen
src/chess/perft
src/eval/eval
src/search/move_ordering
src/search/search
src/uci/version
src/uci/uci
bin/
'

# The layer number of a file, by the module (path without extension) it
# belongs to; programs in bin/ share the top layer.
layer_of() {
    module=${1%.*}
    n=0
    for line in $(printf '%s\n' "$LAYERS" | sed -n '/./{s/ /,/g;p}'); do
        n=$((n + 1))
        for entry in $(printf '%s' "$line" | tr ',' ' '); do
            case $entry in
                */) case $module in "$entry"*) echo "$n"; return ;; esac ;;
                *) [ "$module" = "$entry" ] && { echo "$n"; return; } ;;
            esac
        done
    done
    echo 0
}

status=0
for file in $(find src bin -name '*.h' -o -name '*.cpp' | sort); do
    own=$(layer_of "$file")
    if [ "$own" = 0 ]; then
        echo "$file: not in any layer of tests/layers/check_layers.sh"
        status=1
        continue
    fi
    for header in $(sed -n 's/^#include "\(.*\)"$/\1/p' "$file"); do
        path="src/$header"
        [ -f "$path" ] || [ -f "$path.in" ] || path=$(dirname "$file")/$header
        theirs=$(layer_of "$path")
        if [ "${path%.*}" != "${file%.*}" ] && { [ "$theirs" = 0 ] || [ "$theirs" -ge "$own" ]; }; then
            echo "$file (layer $own) includes $header (layer $theirs)"
            status=1
        fi
    done
done
[ "$status" = 0 ] && echo "includes run one way: bottom to top"
exit "$status"
