#!/bin/bash
# Builds the release archive of every target in tools/targets.tsv into dist/:
#   tarvik-VERSION-TARGET.tar.gz or .zip, and SHA256SUMS over them,
# the play page in dist/web/, and beside the archives, for tools/check_dist.sh,
# each target's stack check program in dist/check/tarvik-VERSION-TARGET/.
# Static Release builds for the baseline processor of each architecture,
# profile-guided where the target's training can run here (natively or under
# its emulator); missing compilers are installed from Debian when running as
# root. The same commit gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

. tools/facts.sh
. tools/targets.sh
version=$TARVIK_VERSION

needs=(cmake zip)
for target in $(targets); do
    load_target "$target"
    needs+=("${target_build_needs[@]}")
done
tools/need_packages.sh "${needs[@]}"

# Archive entries get the last commit's time and no owner, so the same commit
# gives the same archives.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
# strip rewrites a Windows program's header with this time instead of now.
export SOURCE_DATE_EPOCH=$stamp
# The configure logs go to build/, which a fresh clone does not have yet.
mkdir -p dist build
rm -rf dist/SHA256SUMS dist/check

# Configures the loaded target's build folder, logging to BUILD.configure.log.
configure() {
    local build=$1
    shift
    target_configure "$build" "$@" >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; return 1; }
}

# The programs of the loaded target in its build folder. With a training
# runner: first instrumented, then trained (tools/pgo_train.sh, as `make
# pgo`), then built again from that profile.
build_programs() {
    local build=$1
    if [ "${target_train[*]}" = none ]; then
        configure "$build" -DTARVIK_PGO=
        cmake --build "$build" -j"$JOBS"
        return
    fi
    local runner=("${target_train[@]}")
    [ "${runner[*]}" != native ] || runner=()
    configure "$build" -DTARVIK_PGO=GENERATE
    cmake --build "$build" -j"$JOBS" --target tarvik-bench tarvik-perft
    echo "training${runner[*]:+ under ${runner[*]}}"
    tools/pgo_train.sh "$build" "${runner[@]}"
    configure "$build" -DTARVIK_PGO=USE
    cmake --build "$build" -j"$JOBS"
}

# The page, built around the target's worker, into dist/web/ and the stage.
add_page() {
    local build=$1 stage=$2
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
    node web/build.mjs "$build/tarvik-worker.js" dist/web
    cp LICENSE dist/web/THIRD_PARTY_NOTICES.txt "$stage/"
    cp -r dist/web "$stage/web"
}

build_target() {
    load_target "$1"
    local build=build/dist-$target_name name=tarvik-$version-$target_name start=$SECONDS
    local stage=dist/$name
    echo "== $target_name"
    build_programs "$build"
    rm -rf "$stage"
    cmake --install "$build" --prefix "$stage" --strip >/dev/null
    mv "$stage"/bin/* "$stage"/
    rmdir "$stage/bin"
    cp README.md "$stage/README.md"
    if [ "$target_page" = web ]; then
        add_page "$build" "$stage"
    else
        # The id line as the build wrote it into its generated header.
        local id
        id=$(sed -n 's/^constexpr const char ENGINE_ID\[\] = "\(.*\)";$/\1/p' "$build/generated/uci/version.h")
        sed -e "s/@BENCH_NODES@/$TARVIK_BENCH_NODES/" -e "s/@ENGINE_ID@/$id/" tools/dist/GUI.txt >"$stage/GUI.txt"
    fi
    # Windows editors expect "\r\n" line ends in text files.
    if [ "$target_text" = crlf ]; then
        for text in "$stage"/*.txt "$stage/README.md"; do sed -i 's/$/\r/' "$text"; done
    fi
    find "$stage" -exec touch -h -d "@$stamp" {} +
    rm -f "dist/$name.$target_format"
    case $target_format in
    tar.gz)
        tar -C dist --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" -cf - "$name" |
            gzip -9n >"dist/$name.tar.gz"
        ;;
    zip) (cd dist && find "$name" | LC_ALL=C sort | zip -qX "$name.zip" -@) ;;
    *)
        echo "tarvik: $target_name: unknown archive format $target_format" >&2
        return 1
        ;;
    esac
    # The stack check is no program for users: it goes beside the archives.
    cmake --install "$build" --prefix "dist/check/$name" --component check --strip >/dev/null
    echo "== $target_name: dist/$name.$target_format in $((SECONDS - start)) s"
}

archives=()
for target in $(targets); do
    build_target "$target"
    archives+=("tarvik-$version-$target.$target_format")
done

(cd dist && sha256sum "${archives[@]}" >SHA256SUMS)
echo "== dist/"
cat dist/SHA256SUMS
