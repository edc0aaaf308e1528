#!/bin/sh
# Installs the build into a fresh prefix, checks that exactly the programs
# and their manual pages landed there, runs every installed program once
# from the prefix (a small job where one is cheap, else its usage text), and
# uninstalls them again.
#
# usage: install_test.sh CMAKE BUILDDIR PROGRAM...
set -u
cmake=$1
build=$2
shift 2

top=$(mktemp -d) || exit 1
trap 'rm -rf "$top"' EXIT
prefix=$top/prefix
work=$top/work
mkdir "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cmake" --install "$build" --prefix "$prefix" >"$top/install.log" 2>&1; then
    cat "$top/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# Exactly the programs, each with its page: nothing missing, nothing extra.
expected=$(printf '%s\n' "$@" | sort)
found=$(ls "$prefix/bin" | sort)
[ "$found" = "$expected" ] || fail "bin holds [$(echo $found)], expected [$(echo $expected)]"
found=$(ls "$prefix/share/man/man1" | sort)
[ "$found" = "$(printf '%s.1\n' "$@" | sort)" ] || fail "man1 holds [$(echo $found)]"

# run NAME STATUS TEXT ARGS... < input: runs the installed NAME in the work
# folder without a controlling terminal (so keys come from standard input),
# and checks its exit status and a text in its output. Not in a pipeline:
# that would count its failures in a subshell.
run() {
    name=$1 status=$2 text=$3
    shift 3
    (cd "$work" && setsid -w "$prefix/bin/$name" "$@") >"$top/out" 2>&1
    got=$?
    if [ "$got" -ne "$status" ]; then
        fail "$name $*: status $got, expected $status"
        cat "$top/out"
    elif ! grep -qF -- "$text" "$top/out"; then
        fail "$name $*: no \"$text\" in the output"
        cat "$top/out"
    fi
}

# keys TEXT: the answers for the next run, as printf writes them.
keys() {
    printf "$1" >"$top/keys"
}

# same FILE BYTES: the file's bytes as od -c shows them.
same() {
    got=$(od -An -c "$work/$1" | tr -s ' ')
    [ "$got" = "$2" ] || fail "$1 holds \"$got\", expected \"$2\""
}

printf 'abc' >"$work/abc"
for program in "$@"; do
    case $program in
    digest160)
        run digest160 0 "SHA1 digest: A9993E36 4706816A BA3E2571 7850C26C 9CD0D89D" abc </dev/null ;;
    digest128)
        run digest128 0 "MD5 digest: 90015098 3CD24FB0 D6963F7D 28E17F72" abc </dev/null ;;
    chalresp)
        # MD5 of "abc" followed by the password "pw".
        keys 'pw\n'
        run chalresp 0 "MD5 digest in hex: 71605ab39e19fe87034aee29cf2957e4" abc <"$top/keys" ;;
    logonx)
        # The secret file of digit 9 in the current folder gives IP and secret.
        printf '10.0.0.1\r\nsecret\r\n' >"$work/logon9.dat"
        keys '\n\npassword\n'
        run logonx 0 "Password string for sign-on:" 9 <"$top/keys"
        grep -qxF "Using shared SECRET string from file" "$top/out" || fail "logonx: secret file not used"
        [ "$(tail -n 1 "$top/out" | tr -d '\n' | wc -c)" -eq 60 ] || fail "logonx: no 60-character string"
        ;;
    samefile)
        cp "$work/abc" "$work/abc2"
        run samefile 0 "Files compare equal" abc abc2 </dev/null ;;
    recmend)
        printf 'AB\r\nCD\r\n' >"$work/cards"
        run recmend 0 "Conversion ok, 2 records done" cards 2 out </dev/null
        same out " 301 302 303 304" ;;
    blankout)
        printf 'abcdef' >"$work/zeros"
        keys '2\n2\ny\n'
        run blankout 0 "File area zeroed" zeros <"$top/keys"
        same zeros " a b \\0 \\0 e f" ;;
    bytecopy)
        keys 'abc\n1\n3\npart\nn\n'
        run bytecopy 0 "2 bytes copied" <"$top/keys"
        same part " b c" ;;
    tailcat)
        printf 'xy' >"$work/tail"
        run tailcat 0 "Append was successful" tail abc </dev/null
        same tail " x y a b c" ;;
    blockcopy)
        # Block 1 of a two-block source over block 0 of a two-block target.
        { head -c 512 /dev/zero; printf 'B%.0s' $(seq 512); } >"$work/blocks"
        head -c 1024 /dev/zero >"$work/target"
        keys 'blocks 1 1 target 0\n'
        run blockcopy 0 "1 blocks copied from block 1 to block 0" <"$top/keys"
        [ "$(head -c 512 "$work/target" | tr -d B | wc -c)" -eq 0 ] || fail "blockcopy: block 0 not copied"
        ;;
    webstow)
        run webstow 1 "webstow command: Sends a file to an HTTP server by a PUT request." </dev/null ;;
    *)
        fail "$program: no run for it in this test" ;;
    esac
done

# The uninstall removes the suite's files and leaves a stranger's alone.
echo other >"$prefix/bin/other"
if ! "$cmake" -DPREFIX="$prefix" -P "$(dirname "$0")/../cmake/uninstall.cmake" >"$top/uninstall.log" 2>&1; then
    cat "$top/uninstall.log"
    fail "uninstall"
fi
left=$(cd "$prefix" && find . -type f | sort)
[ "$left" = "./bin/other" ] || fail "after the uninstall the prefix holds [$(echo $left)]"

[ "$failures" -eq 0 ] || exit 1
echo "installed, ran and uninstalled: $*"
