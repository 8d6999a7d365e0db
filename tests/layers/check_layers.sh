#!/bin/sh
# Fails when a source file includes a header from a layer above its own. Each
# folder of src/ is one layer and the programs in bin/ are the top one; their
# order, lowest first, is the README's layer table, read from its "Folder"
# column. A file may include headers of its own folder and of lower layers.
set -eu
cd "${1:-$(dirname "$0")/../..}"

# The table's rows look like: | layer name | `src/board` | what lives there |
layers=$(sed -n '/^| Layer | Folder |/,/^$/s/^| [^|]* | `\([a-z_/]*\)` |.*/\1/p' README.md)
[ -n "$layers" ] || { echo "README.md: no layer table (| Layer | Folder | ... |)"; exit 1; }

layer_of() {
    n=0
    for folder in $layers; do
        n=$((n + 1))
        case $1 in "$folder"/*) echo "$n"; return ;; esac
    done
    echo 0
}

status=0
for folder in src/*/; do
    folder=${folder%/}
    [ "$(layer_of "$folder/x")" != 0 ] || { echo "$folder: a folder of src/ missing from the README's layer table"; status=1; }
done
for folder in $layers; do
    [ -d "$folder" ] || { echo "$folder: in the README's layer table but not in the tree"; status=1; }
done
for file in $(find src bin -name '*.h' -o -name '*.cpp' -o -name '*.h.in' | sort); do
    own=$(layer_of "$file")
    for header in $(sed -n 's/^#include "\(.*\)"$/\1/p' "$file"); do
        path=src/$header
        [ -e "$path" ] || [ -e "$path.in" ] || path=bin/$header
        theirs=$(layer_of "$path")
        if [ "$theirs" = 0 ] || [ "$theirs" -gt "$own" ]; then
            echo "$file (layer $own) includes $header (layer $theirs)"
            status=1
        fi
    done
done
[ "$status" = 0 ] && echo "includes run one way: bottom to top, $(echo $layers | wc -w) layers"
exit "$status"
