#!/bin/bash
# Builds the Debian package of the engine for every Debian architecture of
# tools/targets.tsv into dist/:
#   tarvik_VERSION-REVISION_ARCH.deb,
# and adds them to dist/SHA256SUMS (replacing earlier lines for them).
# They come from debian/ through dpkg-buildpackage: the host's architecture
# with the host g++, the others cross-built (-a ARCH) with the release
# archives' cross compiler. The sources are copied to build/deb/ first, since
# dpkg-buildpackage writes its packages next to the source tree. Missing
# Debian packages are installed when running as root.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
. tools/facts.sh
. tools/targets.sh
. tools/apt.sh

# The packages are those of the targets with a Debian architecture, each
# built with its target's compiler and, for the profile-guided build,
# trained under its target's emulator when foreign (debian/rules).
architectures=()
needs=()
for target in $(targets); do
    load_target "$target"
    [ -n "$target_deb" ] || continue
    architectures+=("$target_deb")
    needs+=("${target_build_needs[@]}")
done
# dpkg-buildpackage asks for build-essential whatever the compiler at hand.
tools/need_packages.sh dpkg-dev debhelper cmake build-essential "${needs[@]}"

# A cross build links against the cross compiler's own libraries;
# dpkg-shlibdeps reads the package dependencies they bring from the
# architecture's runtime libraries themselves, installed through dpkg's
# multiarch, which also let its training run under the emulator.
host=$(dpkg --print-architecture)
for arch in "${architectures[@]}"; do
    [ "$arch" != "$host" ] || continue
    if [ "$(id -u)" = 0 ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        with_dpkg_lock dpkg --add-architecture "$arch"
    fi
    tools/need_packages.sh "$arch-runtime"
done

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

debs=()
for arch in "${architectures[@]}"; do
    deb=tarvik_${version}_$arch.deb
    echo "== $deb"
    args=(-b -us -uc --jobs="$JOBS")
    [ "$arch" = "$host" ] || args+=(-a "$arch" -Pnocheck)
    if ! (cd "$src" && dpkg-buildpackage "${args[@]}") >"$work/build-$arch.log" 2>&1; then
        tail -n 40 "$work/build-$arch.log"
        echo "tarvik: the $arch package did not build; the whole log is $work/build-$arch.log" >&2
        exit 1
    fi
    cp "$work/$deb" dist/
    debs+=("$deb")
done

(
    cd dist
    touch SHA256SUMS
    patterns=()
    for deb in "${debs[@]}"; do patterns+=(-e " $deb"); done
    grep -v -F "${patterns[@]}" SHA256SUMS >SHA256SUMS.new || true
    sha256sum "${debs[@]}" >>SHA256SUMS.new
    mv SHA256SUMS.new SHA256SUMS
)
echo "== dist/"
grep -F '.deb' dist/SHA256SUMS
