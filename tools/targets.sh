#!/bin/bash
# The one reader of tools/targets.tsv. Sourced from the project root by the
# bash scripts: `targets` lists the names, `load_target NAME` sets the row's
# fields as target_* variables (the commands as arrays, "-" as empty), and
# `target_configure BUILD` configures a release build of the loaded target.
# Run, for make and sh:
#   tools/targets.sh FIELD [KEY=VALUE]
# prints FIELD (a target_* variable's name without "target_": name, train,
# deb, ...) of every target, or of those whose KEY is VALUE, one a line.
# shellcheck disable=SC2034 # the variables are for the sourcing script
targets() { awk -F '\t' '!/^#/ && NF { print $1 }' tools/targets.tsv; }

load_target() {
    local name=$1 row
    row=$(awk -F '\t' -v name="$name" '$1 == name' tools/targets.tsv)
    [ -n "$row" ] || { echo "tarvik: no target $name in tools/targets.tsv" >&2; return 2; }
    local fields
    IFS=$'\t' read -r -a fields <<<"$row"
    [ "${#fields[@]}" = 11 ] || { echo "tarvik: tools/targets.tsv: $name has ${#fields[@]} fields, not 11" >&2; return 2; }
    local i
    for i in "${!fields[@]}"; do [ "${fields[$i]}" != - ] || fields[$i]=""; done
    target_name=${fields[0]}
    target_toolchain=${fields[1]}
    target_format=${fields[2]}
    target_exe=${fields[3]}
    target_text=${fields[4]}
    target_page=${fields[5]}
    read -r -a target_train <<<"${fields[6]}"
    read -r -a target_run <<<"${fields[7]}"
    IFS=, read -r -a target_build_needs <<<"${fields[8]}"
    IFS=, read -r -a target_check_needs <<<"${fields[9]}"
    target_deb=${fields[10]}
}

# Configures BUILD for the loaded target as the release archives are built:
# static Release programs for the architecture's baseline processor, with
# the target's toolchain; more CMake flags may follow.
target_configure() {
    local build=$1
    shift
    local args=(-DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF -DTARVIK_STATIC=ON -DTARVIK_NATIVE=OFF "$@")
    [ -z "$target_toolchain" ] || args+=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/$target_toolchain.cmake")
    cmake -S . -B "$build" "${args[@]}"
}

# The loaded target's FIELD, its words joined by spaces.
target_value() {
    [[ $1 =~ ^[a-z_]+$ ]] && declare -p "target_$1" >/dev/null 2>&1 ||
        { echo "tarvik: tools/targets.tsv has no field $1" >&2; return 2; }
    eval "echo \"\${target_$1[*]}\""
}

# FIELD of every target, or of those whose KEY is VALUE, one a line.
target_values() {
    local field=$1 filter=${2:-} target key
    for target in $(targets); do
        load_target "$target"
        if [ -n "$filter" ]; then
            key=$(target_value "${filter%%=*}") || return 2
            [ "$key" = "${filter#*=}" ] || continue
        fi
        target_value "$field" || return 2
    done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    cd "$(dirname "$0")/.."
    [ $# = 1 ] || { [ $# = 2 ] && [[ $2 == *=* ]]; } || { echo "usage: tools/targets.sh FIELD [KEY=VALUE]" >&2; exit 2; }
    target_values "$@"
fi
