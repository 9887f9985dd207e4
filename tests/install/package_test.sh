#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its metadata and contents as
# dpkg-deb reports them: name, version, maintainer, the library packages it depends on, and that
# it installs under /usr.
# usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(find "$work" -maxdepth 1 -name "fluvex_${version}_*.deb")
[ -n "$deb" ] || { echo "FAIL: no fluvex_${version}_*.deb"; ls "$work"; exit 1; }

info=$(dpkg-deb --info "$deb")
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = fluvex ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# The shared libraries the programs link, found by dpkg-shlibdeps.
depends=$(field Depends | tr ',' '\n' | awk '{print $1}')
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libproj25 libzip4; do
    grep -qxF "$library" <<<"$depends" || fail "Depends lacks $library: $(field Depends)"
done
grep -q "Licence:" <<<"$info" || fail "the description does not state the licence"

# Which files are installed is checked by install_test.sh: here that they land under /usr.
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/bin/fluvex ./usr/bin/fluvex-cli ./usr/share/fluvex/WMM2025.COF; do
    grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
outside=$(grep -v -e '^\./$' -e '^\./usr/' <<<"$contents" || true)
[ -z "$outside" ] || fail "the package installs outside /usr: $outside"

[ "$failures" -eq 0 ] || { echo "package_test: $failures failures"; exit 1; }
echo "package_test: $deb checked"
