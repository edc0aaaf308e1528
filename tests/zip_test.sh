#!/bin/sh
# Makes the .zip of a Windows build and checks what it holds: every program
# as bin/NAME.exe, the README beside bin/, and nothing else.
#
# usage: zip_test.sh CMAKE CPACK BUILDDIR VERSION PROGRAM...
set -u
cmake=$1
cpack=$2
build=$3
version=$4
shift 4

top=$(mktemp -d) || exit 1
trap 'rm -rf "$top"' EXIT

if ! "$cpack" --config "$build/CPackConfig.cmake" -G ZIP -B "$top" >"$top/cpack.log" 2>&1; then
    cat "$top/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
zip=$top/kestrelsuite-$version-windows.zip
[ -f "$zip" ] || { echo "FAIL: no $(basename "$zip") in [$(ls "$top")]"; exit 1; }

# The listing of cmake -E tar names the files with their folder.
found=$("$cmake" -E tar tf "$zip" | grep -v '/$' | sort)
expected=$({
    printf "kestrelsuite-$version-windows/bin/%s.exe\n" "$@"
    echo "kestrelsuite-$version-windows/README.md"
} | sort)
if [ "$found" != "$expected" ]; then
    echo "FAIL: the zip holds"
    echo "$found"
    echo "expected"
    echo "$expected"
    exit 1
fi
echo "$(basename "$zip"): $# programs and the README"
