#!/bin/sh
# Makes the Debian package of a build and checks what it holds: every
# program in usr/bin with its page in usr/share/man/man1, nothing else there,
# and a control record with the run-time libraries as dependencies.
# Installing it is left to a person (README): it changes the machine.
#
# usage: package_test.sh CPACK BUILDDIR VERSION PROGRAM...
# Ends with 77 (skipped) where the Debian tools are missing.
set -u
cpack=$1
build=$2
version=$3
shift 3

for tool in dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

top=$(mktemp -d) || exit 1
trap 'rm -rf "$top"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$top" >"$top/cpack.log" 2>&1; then
    cat "$top/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$top"/*.deb 2>/dev/null)
[ "$(echo "$deb" | wc -l)" -eq 1 ] && [ -n "$deb" ] || { echo "FAIL: no single .deb in [$(ls "$top")]"; exit 1; }
case $(basename "$deb") in
kestrelsuite_"$version"_*.deb) ;;
*) fail "package file named $(basename "$deb")" ;;
esac

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$top/contents" || fail "dpkg-deb -c"
found=$(grep '^\./usr/bin/.' "$top/contents" | sort)
[ "$found" = "$(printf './usr/bin/%s\n' "$@" | sort)" ] || fail "usr/bin holds [$(echo $found)]"
found=$(grep '^\./usr/share/man/man1/.' "$top/contents" | sort)
[ "$found" = "$(printf './usr/share/man/man1/%s.1\n' "$@" | sort)" ] || fail "man1 holds [$(echo $found)]"
grep -qx './usr/share/doc/kestrelsuite/README.md' "$top/contents" || fail "no README"

dpkg-deb -I "$deb" >"$top/info" || fail "dpkg-deb -I"
grep -qx ' Package: kestrelsuite' "$top/info" || fail "control: Package"
grep -qx " Version: $version" "$top/info" || fail "control: Version"
grep -q '^ Depends: .*libc6 (>= ' "$top/info" || fail "control: Depends has no libc6"
grep -q '^ Depends: .*libstdc++6 (>= ' "$top/info" || fail "control: Depends has no libstdc++6"

if [ "$failures" -ne 0 ]; then
    cat "$top/info"
    exit 1
fi
echo "$(basename "$deb"): $# programs with their pages"
