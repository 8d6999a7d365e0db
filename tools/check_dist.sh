#!/bin/bash
# Checks the release archives tools/dist.sh left in dist/: their SHA256SUMS,
# then each target of tools/targets.tsv unpacked afresh and its programs run
# by tools/check_target.sh under the target's emulator, against the native
# target's engine as the reference and with the stack check program from
# dist/check/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/facts.sh
. tools/targets.sh
version=$TARVIK_VERSION
tools/need_packages.sh unzip

[ -f dist/SHA256SUMS ] || { echo "tarvik: no dist/SHA256SUMS: run make dist first" >&2; exit 1; }
(cd dist && sha256sum -c --quiet SHA256SUMS)

work=build/check-dist
rm -rf "$work"
mkdir -p "$work"
# Unpacks the loaded target's archive into $work; prints the programs' folder.
unpack() {
    local name=tarvik-$version-$target_name
    case $target_format in
    tar.gz) tar -C "$work/$target_name" -xzf "dist/$name.tar.gz" ;;
    zip) unzip -q "dist/$name.zip" -d "$work/$target_name" ;;
    esac
    echo "$work/$target_name/$name"
}

# The engine that runs natively here, unpacked first, answers for the others.
reference=""
for target in $(targets); do
    load_target "$target"
    [ "${target_train[*]}" = native ] || continue
    mkdir -p "$work/$target"
    reference=$(unpack)/tarvik$target_exe
    break
done
[ -n "$reference" ] || { echo "tarvik: no native target in tools/targets.tsv" >&2; exit 1; }

status=0
start=$SECONDS
for target in $(targets); do
    load_target "$target"
    [ -d "$work/$target" ] || { mkdir -p "$work/$target" && unpack >/dev/null; }
    bin=$work/$target/tarvik-$version-$target
    deepline=dist/check/tarvik-$version-$target/tarvik-deepline$target_exe
    tools/check_target.sh "$target" "$bin" "$deepline" "$reference" || status=1
done
echo "release archives checked in $((SECONDS - start)) s"
exit $status
