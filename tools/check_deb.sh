#!/bin/bash
# Checks the Debian packages tools/deb.sh built in dist/, as a user of them
# would see them (needs root; CI runs it on a throwaway machine):
#  1. lintian: no error and no warning (overrides only with a comment);
#  2. the host's architecture: installed with apt-get over an older build of
#     the package, then used: the UCI handshake, a timed search, the bench
#     signature and a perft suite (debian/tests/engine), --version, the manual
#     pages, and a game under xboard through polyglot; reinstalled; purged,
#     leaving no file of it behind;
#  3. every other architecture: the same files as the host's package, and the
#     unpacked programs under the target's emulator: handshake, search, bench
#     signature, perft.
# The packages are those of the targets with a Debian architecture
# (tools/targets.tsv), one of them the host's.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/facts.sh
. tools/targets.sh
. tools/apt.sh
[ "$(id -u)" = 0 ] || { echo "tarvik: tools/check_deb.sh installs packages: run it as root" >&2; exit 1; }

version=$(dpkg-parsechangelog -S Version)
host=$(dpkg --print-architecture)
host_deb=dist/tarvik_${version}_$host.deb
debs=()
needs=(lintian man)
for target in $(targets); do
    load_target "$target"
    [ -n "$target_deb" ] || continue
    debs+=("dist/tarvik_${version}_$target_deb.deb")
    needs+=("${target_check_needs[@]}")
done
[[ " ${debs[*]} " == *" $host_deb "* ]] ||
    { echo "tarvik: no target with the host's Debian architecture $host in tools/targets.tsv" >&2; exit 1; }
for deb in "${debs[@]}"; do
    [ -f "$deb" ] || { echo "tarvik: no $deb: run make deb first" >&2; exit 1; }
done
(cd dist && printf '%s\n' "${debs[@]#dist/}" | grep -F -f - SHA256SUMS | sha256sum -c --quiet -)

tools/need_packages.sh "${needs[@]}"
tests/e2e/install_deps.sh >/dev/null

work=build/check-deb
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
start=$SECONDS

# 1. lintian, and a reason for every override. Among its errors: a program
# built for another architecture than its package's.
# The report shows the overridden tags too; the verdict comes from the tags
# that are not overridden.
lintian --show-overrides "${debs[@]}" 2>&1 | grep -v 'root privileges' || true
if lintian --fail-on error,warning "${debs[@]}" >"$work/lintian.txt" 2>&1; then
    echo "lintian: no error, no warning"
else
    fail "lintian: $(grep -v 'root privileges' "$work/lintian.txt")"
fi
awk '/^#/ { reason = 1; next } /^[^ \t]/ && !reason { print; bad = 1 } { reason = 0 } END { exit bad }' \
    debian/tarvik.lintian-overrides || fail "a lintian override without a comment giving the reason"

# 2. The host's package: install, upgrade, use, reinstall, purge.
# A slimmed-down system may keep dpkg from unpacking manual pages and
# documentation; this package's own are let through.
keep_docs=(-o 'DPkg::Options::=--path-include=/usr/share/man/man6/tarvik*'
    -o 'DPkg::Options::=--path-include=/usr/share/doc/tarvik/*')
apt_log=$work/apt.log
apt_package() { apt_get "${keep_docs[@]}" "$@"; }
# Everything the package may own or leave: its directories, dpkg's records
# of it, and anything named after it elsewhere on the system.
listing() {
    {
        find /usr/games /usr/share/man/man6 /usr/share/doc/tarvik /usr/share/lintian/overrides 2>/dev/null || true
        find /var/lib/dpkg/info -name 'tarvik*'
        find /usr /etc /var /opt -xdev -name '*tarvik*' -not -path '/var/cache/apt/*' -not -path '/var/log/*' \
            -not -path '/var/lib/apt/lists/*' 2>/dev/null || true
    } | sort -u
}
if dpkg-query -W tarvik >/dev/null 2>&1; then
    echo "purging the tarvik package left by an earlier run"
    apt_package purge tarvik
fi
listing >"$work/before.txt"
# What the package holds, and which of those paths (directories such as
# /usr/games) were there before it.
dpkg-deb --fsys-tarfile "$host_deb" | tar -t | sed 's|^\./|/|; s|/$||; /^$/d' | sort >"$work/packed.txt"
while read -r path; do [ ! -e "$path" ] || echo "$path"; done <"$work/packed.txt" >"$work/preexisting.txt"

# An older build of the package with a program the current one no longer has.
older=$work/older
dpkg-deb -R "$host_deb" "$older"
sed -i "s/^Version: .*/Version: ${version}~older/" "$older/DEBIAN/control"
cp "$older/usr/games/tarvik-bench" "$older/usr/games/tarvik-retired"
(cd "$older" && find usr -type f -exec md5sum {} + | sort -k 2 >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$older" "$work/tarvik_${version}~older_$host.deb" >/dev/null
apt_package install "./$work/tarvik_${version}~older_$host.deb" || fail "the older build does not install"
[ -x /usr/games/tarvik-retired ] || fail "the older build was not installed"

apt_package install "./$host_deb" || fail "apt-get install ./$host_deb failed (see $work/apt.log)"
[ "$(dpkg-query -W -f='${Status} ${Version}' tarvik)" = "install ok installed $version" ] ||
    fail "tarvik $version is not installed: $(dpkg-query -W -f='${Status} ${Version}' tarvik 2>&1)"
[ ! -e /usr/games/tarvik-retired ] || fail "the upgrade left the older build's /usr/games/tarvik-retired"
dpkg -L tarvik | grep -vx '/\.' | sort >"$work/owned.txt"
diff -u "$work/packed.txt" "$work/owned.txt" >"$work/owned.diff" ||
    fail "dpkg -L differs from the package's contents: $(cat "$work/owned.diff")"
for file in /usr/games/tarvik /usr/games/tarvik-perft /usr/games/tarvik-bench /usr/share/doc/tarvik/copyright \
    /usr/share/doc/tarvik/README.md.gz; do
    [ -e "$file" ] || fail "not installed: $file"
done
listing >"$work/installed.txt"

sh debian/tests/engine /usr/games || fail "the installed programs (debian/tests/engine)"
for program in tarvik tarvik-perft tarvik-bench; do
    want="$program $TARVIK_VERSION"
    [ "$program" = tarvik ] || want="$program (tarvik) $TARVIK_VERSION"
    [ "$(/usr/games/$program --version)" = "$want" ] || fail "$program --version: $(/usr/games/$program --version)"
    page=$(man -w "$program" 2>&1) || true
    [ "$page" = "/usr/share/man/man6/$program.6.gz" ] || fail "man -w $program: $page"
    # Rendered from the file found (-l), so that man-db keeps no formatted
    # copy in its cache to outlive the package.
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man $program does not render"
    [ -z "$warnings" ] || fail "man $program: $warnings"
done
MANWIDTH=80 man -l /usr/share/man/man6/tarvik.6.gz 2>/dev/null | grep -q '^NAME' || fail "man tarvik shows no NAME section"
echo "installed: handshake, search, bench, perft, --version and manual pages ok"

# A short game under xboard, which starts /usr/games/tarvik through polyglot
# and names it after the engine's "id name".
if bash tests/e2e/xboard_games.sh --games 1 --tc 0:05 --inc 0 --max-moves 30 /usr/games/tarvik 1 \
    "$work/xboard" >"$work/xboard.log" 2>&1; then
    grep -q "^\[White \"tarvik $TARVIK_VERSION" "$work/xboard/game-1/game.pgn" ||
        fail "xboard did not name the engine: $(grep '^\[White' "$work/xboard/game-1/game.pgn")"
    echo "xboard: $(tail -n 1 "$work/xboard.log"); $(grep '^\[White' "$work/xboard/game-1/game.pgn")"
else
    fail "the game under xboard: $(cat "$work/xboard.log")"
fi

apt_package install --reinstall "./$host_deb" || fail "apt-get install --reinstall failed"
listing >"$work/reinstalled.txt"
diff -u "$work/installed.txt" "$work/reinstalled.txt" >"$work/reinstalled.diff" ||
    fail "reinstalling changed the files: $(cat "$work/reinstalled.diff")"

apt_package purge tarvik || fail "apt-get purge tarvik failed"
owned_after=$(dpkg -L tarvik 2>/dev/null || true)
[ -z "$owned_after" ] || fail "dpkg -L tarvik after the purge: $owned_after"
! dpkg-query -W -f='${Status}\n' tarvik 2>/dev/null | grep -qv 'not-installed' ||
    fail "dpkg still knows tarvik: $(dpkg-query -W -f='${Status}' tarvik)"
listing >"$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" >"$work/after.diff" ||
    fail "the purge left files behind: $(cat "$work/after.diff")"
while read -r path; do
    grep -qxF "$path" "$work/preexisting.txt" || [ ! -e "$path" ] || fail "left after the purge: $path"
done <"$work/packed.txt"
echo "upgrade over an older build, reinstall and purge: no stray files"

# 3. The other architectures: the same files, and programs that run under
# their targets' emulators.
dpkg-deb --contents "$host_deb" | awk '{ print $1, $NF }' | sort -k 2 >"$work/$host.contents"
for target in $(targets); do
    load_target "$target"
    arch=$target_deb
    [ -n "$arch" ] && [ "$arch" != "$host" ] || continue
    deb=dist/tarvik_${version}_$arch.deb
    dpkg-deb --contents "$deb" | awk '{ print $1, $NF }' | sort -k 2 >"$work/$arch.contents"
    diff -u "$work/$host.contents" "$work/$arch.contents" >"$work/$arch.contents.diff" ||
        fail "the $arch package holds other files than the $host one: $(cat "$work/$arch.contents.diff")"
    dpkg-deb -x "$deb" "$work/$arch"
    mkdir -p "$work/$arch-run"
    for program in tarvik tarvik-perft tarvik-bench; do
        printf '#!/bin/sh\nexec %s %s "$@"\n' "${target_run[*]}" "$PWD/$work/$arch/usr/games/$program" \
            >"$work/$arch-run/$program"
        chmod +x "$work/$arch-run/$program"
    done
    sh debian/tests/engine "$work/$arch-run" || fail "the $arch programs under ${target_run[*]}"
done

if [ "$failures" -ne 0 ]; then
    echo "tools/check_deb.sh: $failures check(s) failed; logs in $work"
    exit 1
fi
echo "Debian packages checked in $((SECONDS - start)) s"
