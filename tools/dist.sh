#!/bin/bash
# Builds the release archives for every target into dist/:
#   tarvik-VERSION-linux-x86_64.tar.gz, tarvik-VERSION-linux-arm64.tar.gz,
#   tarvik-VERSION-windows-x86_64.zip, tarvik-VERSION-wasm.zip and SHA256SUMS,
# and the play page in dist/web/.
# Static Release builds for the baseline processor of each architecture;
# missing cross compilers are installed from Debian when running as root.
# With --check, each archive is then unpacked and its programs checked
# (tools/check_target.sh) under qemu-x86_64, qemu-aarch64, wine64 or Node.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
check=0
[ "${1:-}" = --check ] && check=1

. tools/facts.sh
version=$TARVIK_VERSION

tools/need_packages.sh "CMake" cmake cmake
tools/need_packages.sh "the archive tool zip" zip zip
tools/need_packages.sh "the Linux x86-64 compiler" g++ g++
tools/need_packages.sh "the Windows cross compiler" x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64 mingw-w64
tools/need_packages.sh "the ARM64 cross compiler" aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
tools/need_packages.sh "emscripten" emcc emscripten
tools/need_packages.sh "npm" npm npm
[ "$check" = 0 ] || tools/need_packages.sh "the archive tool unzip" unzip unzip

# Archive entries get the last commit's time and no owner, so the same commit
# gives the same archives.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
# strip rewrites a Windows program's header with this time instead of now.
export SOURCE_DATE_EPOCH=$stamp
# The configure logs go to build/, which a fresh clone does not have yet.
mkdir -p dist build
rm -f dist/SHA256SUMS

# Configures and builds one target's Release programs in build/dist-TARGET
# with the given toolchain (none: the host's) and extra CMake flags.
build_programs() {
    local target=$1 toolchain=$2
    local build=build/dist-$target
    shift 2
    local args=(-DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF "$@")
    [ -n "$toolchain" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/$toolchain.cmake")
    echo "== $target"
    cmake -S . -B "$build" "${args[@]}" >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; return 1; }
    cmake --build "$build" -j"$JOBS"
}

build_target() {
    local target=$1 toolchain=$2
    local build=build/dist-$target stage=dist/tarvik-$version-$target
    build_programs "$target" "$toolchain" -DTARVIK_STATIC=ON -DTARVIK_NATIVE=OFF
    rm -rf "$stage"
    cmake --install "$build" --prefix "$stage" --strip >/dev/null
    mv "$stage"/bin/* "$stage"/
    rmdir "$stage/bin"
    cp README.md "$stage/README.md"
    # The id line as the build wrote it into its generated header.
    local id
    id=$(sed -n 's/^constexpr const char ENGINE_ID\[\] = "\(.*\)";$/\1/p' "$build/generated/uci/version.h")
    sed -e "s/@BENCH_NODES@/$TARVIK_BENCH_NODES/" -e "s/@ENGINE_ID@/$id/" tools/dist/GUI.txt >"$stage/GUI.txt"
    find "$stage" -exec touch -h -d "@$stamp" {} +
    local name
    name=$(basename "$stage")
    rm -f "dist/$name.tar.gz" "dist/$name.zip"
    if [ "$target" = windows-x86_64 ]; then
        # Windows editors expect "\r\n" line ends in text files.
        sed -i 's/$/\r/' "$stage/README.md" "$stage/GUI.txt"
        touch -d "@$stamp" "$stage" "$stage/README.md" "$stage/GUI.txt"
        (cd dist && zip -qX -r "$name.zip" "$name")
    else
        tar -C dist --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" -cf - "$name" |
            gzip -9n >"dist/$name.tar.gz"
    fi
}

# WebAssembly: the Node programs, the worker, and the page built around it
# (web/, its libraries pinned by web/package-lock.json) into dist/web/.
build_wasm() {
    local build=build/dist-wasm stage=dist/tarvik-$version-wasm start=$SECONDS
    build_programs wasm emscripten
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
    node web/build.mjs "$build/tarvik-worker.js" dist/web
    rm -rf "$stage"
    mkdir -p "$stage"
    cp "$build/tarvik.js" "$build/tarvik.wasm" "$build/tarvik-perft.js" "$build/tarvik-bench.js" \
        "$build/tarvik-worker.js" README.md LICENSE dist/web/THIRD_PARTY_NOTICES.txt "$stage/"
    cp -r dist/web "$stage/web"
    find "$stage" -exec touch -h -d "@$stamp" {} +
    local name
    name=$(basename "$stage")
    rm -f "dist/$name.zip"
    (cd dist && find "$name" | LC_ALL=C sort | zip -qX "$name.zip" -@)
    echo "== wasm: programs, page and archive in $((SECONDS - start)) s"
}

build_target linux-x86_64 ""
build_target linux-arm64 aarch64-linux-gnu
build_target windows-x86_64 mingw-w64-x86_64
build_wasm

(cd dist && sha256sum "tarvik-$version-linux-x86_64.tar.gz" "tarvik-$version-linux-arm64.tar.gz" \
    "tarvik-$version-windows-x86_64.zip" "tarvik-$version-wasm.zip" >SHA256SUMS)
echo "== dist/"
cat dist/SHA256SUMS

[ "$check" = 1 ] || exit 0

# Check what was packed: unpack each archive afresh and run its programs.
(cd dist && sha256sum -c --quiet SHA256SUMS)
reference=build/dist-linux-x86_64/tarvik
status=0
for target in linux-x86_64 linux-arm64 windows-x86_64 wasm; do
    unpacked=build/unpacked-$target
    rm -rf "$unpacked"
    mkdir -p "$unpacked"
    if [ "$target" = wasm ]; then
        unzip -q "dist/tarvik-$version-$target.zip" -d "$unpacked"
        deepline=build/dist-$target/tarvik-deepline.js
    elif [ "$target" = windows-x86_64 ]; then
        unzip -q "dist/tarvik-$version-$target.zip" -d "$unpacked"
        deepline=build/dist-$target/tarvik-deepline.exe
    else
        tar -C "$unpacked" -xzf "dist/tarvik-$version-$target.tar.gz"
        deepline=build/dist-$target/tarvik-deepline
    fi
    tools/check_target.sh "$target" "$unpacked/tarvik-$version-$target" "$deepline" "$reference" || status=1
done
exit $status
