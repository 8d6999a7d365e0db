#!/bin/sh
# Fails when a source file includes a header from a layer above its own, or when
# the layer table of docs/HACKING.md no longer shows the order of layers.txt.
# Each folder of src/ is one layer and the programs in bin/ are the top one;
# layers.txt beside this script lists them lowest first. A file may include
# headers of its own folder and of lower layers.
set -eu
cd "${1:-$(dirname "$0")/../..}"
order=tests/layers/layers.txt

layers=$(sed -n 's/^\([a-z][a-z_/]*\)[[:space:]].*/\1/p' "$order")
[ -n "$layers" ] || { echo "$order: no layers (lines: FOLDER NAME)"; exit 1; }

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
    [ "$(layer_of "$folder/x")" != 0 ] || { echo "$folder: a folder of src/ missing from $order"; status=1; }
done
for folder in $layers; do
    [ -d "$folder" ] || { echo "$folder: in $order but not in the tree"; status=1; }
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

# The document shows the order; it is checked here, never read for it. Its
# table's rows look like: | layer name | `src/board` | what lives there |
shown=$(sed -n '/^| Layer | Folder |/,/^$/s/^| [^|]* | `\([a-z_/]*\)` |.*/\1/p' docs/HACKING.md)
if [ "$shown" != "$layers" ]; then
    echo "docs/HACKING.md: the layer table shows $(echo "$shown" | tr '\n' ' ')"
    echo "but $order lists $(echo "$layers" | tr '\n' ' ')"
    status=1
fi

[ "$status" = 0 ] && echo "includes run one way: bottom to top, $(echo $layers | wc -w) layers"
exit "$status"
