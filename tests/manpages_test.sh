#!/bin/sh
# Renders every manual page with groff (all warnings on) and with man, and
# fails on any warning; checks that each program has a page of its own with
# the sections a reader looks for.
#
# usage: manpages_test.sh MANDIR PROGRAM...
set -u
mandir=$1
shift
failures=0
errors=$(mktemp) || exit 1
trap 'rm -f "$errors"' EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for tool in groff man; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

for page in "$mandir"/*.1; do
    if ! groff -man -Tutf8 -ww -z "$page" 2>"$errors" || [ -s "$errors" ]; then
        fail "groff on $page:"
        cat "$errors"
    fi
    if ! MANPAGER=cat man --warnings -l "$page" >/dev/null 2>"$errors" || [ -s "$errors" ]; then
        fail "man on $page:"
        cat "$errors"
    fi
done

for program in "$@"; do
    page=$mandir/$program.1
    if [ ! -f "$page" ]; then
        fail "$program has no page"
        continue
    fi
    grep -q "^$program \\\\- " "$page" || fail "$page: NAME does not begin with \"$program \\-\""
    for section in SYNOPSIS DESCRIPTION FILES "EXIT STATUS" "POSIX DIFFERENCES" EXAMPLE; do
        grep -qx "\\.SH \"*$section\"*" "$page" || fail "$page: no section $section"
    done
done

[ "$failures" -eq 0 ] || exit 1
echo "rendered without warnings: $(ls "$mandir"/*.1 | wc -l) pages"
