#!/bin/bash
# Builds the Debian package of the engine for amd64 and arm64 into dist/:
#   tarvik_VERSION-REVISION_amd64.deb, tarvik_VERSION-REVISION_arm64.deb,
# and adds them to dist/SHA256SUMS (replacing earlier lines for them).
# Both come from debian/ through dpkg-buildpackage: amd64 with the host g++,
# arm64 cross-built (-a arm64) with aarch64-linux-gnu-g++, the release
# archives' cross compiler. The sources are copied to build/deb/ first, since
# dpkg-buildpackage writes its packages next to the source tree. Missing
# Debian packages are installed when running as root.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
. tools/facts.sh

tools/need_packages.sh "dpkg-buildpackage" dpkg-buildpackage dpkg-dev
tools/need_packages.sh "debhelper" dh debhelper
tools/need_packages.sh "CMake" cmake cmake
# dpkg-buildpackage asks for build-essential whatever the compiler at hand.
tools/need_packages.sh "build-essential" /usr/share/build-essential/list build-essential
tools/need_packages.sh "the ARM64 cross compiler" aarch64-linux-gnu-g++ g++-aarch64-linux-gnu

# The cross build links against the cross compiler's own ARM64 libraries;
# dpkg-shlibdeps reads the package dependencies they bring from the ARM64
# runtime libraries themselves, installed through dpkg's multiarch.
host=$(dpkg --print-architecture)
if [ "$host" != arm64 ] && [ ! -e /usr/lib/aarch64-linux-gnu/libstdc++.so.6 ]; then
    if [ "$(id -u)" = 0 ]; then
        echo "installing the ARM64 runtime libraries: libstdc++6:arm64"
        dpkg --add-architecture arm64
        { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends libstdc++6:arm64; } \
            >"${TMPDIR:-/tmp}/tarvik-apt.log" 2>&1 || true
    fi
    [ -e /usr/lib/aarch64-linux-gnu/libstdc++.so.6 ] || {
        echo "tarvik: the ARM64 runtime libraries are missing: dpkg --add-architecture arm64; apt-get update; apt-get install libstdc++6:arm64" >&2
        exit 1
    }
fi

version=$(dpkg-parsechangelog -S Version)
if [ "${version%-*}" != "$TARVIK_VERSION" ]; then
    echo "tarvik: debian/changelog is at $version, the engine at $TARVIK_VERSION: add a changelog entry" >&2
    exit 1
fi

work=build/deb
src=$work/tarvik-$TARVIK_VERSION
rm -rf "$work"
mkdir -p "$src" dist
# The checkout's files as they are (committed or not), without build output.
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -C "$src" -xf -

for arch in amd64 arm64; do
    echo "== tarvik_${version}_$arch.deb"
    args=(-b -us -uc --jobs="$JOBS")
    [ "$arch" = "$host" ] || args+=(-a "$arch" -Pnocheck)
    if ! (cd "$src" && dpkg-buildpackage "${args[@]}") >"$work/build-$arch.log" 2>&1; then
        tail -n 40 "$work/build-$arch.log"
        echo "tarvik: the $arch package did not build; the whole log is $work/build-$arch.log" >&2
        exit 1
    fi
    cp "$work/tarvik_${version}_$arch.deb" dist/
done

debs=("tarvik_${version}_amd64.deb" "tarvik_${version}_arm64.deb")
(
    cd dist
    touch SHA256SUMS
    grep -v -F -e " ${debs[0]}" -e " ${debs[1]}" SHA256SUMS >SHA256SUMS.new || true
    sha256sum "${debs[@]}" >>SHA256SUMS.new
    mv SHA256SUMS.new SHA256SUMS
)
echo "== dist/"
grep -F '.deb' dist/SHA256SUMS
