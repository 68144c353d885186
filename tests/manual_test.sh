#!/usr/bin/env bash
# The manual page formats without a single warning: with groff as man-db runs it, in a
# plain ASCII locale too, and with mandoc's lint at its strictest level.
# Usage: manual_test.sh <pimbrel.1>
set -uo pipefail
page=$1
failed=0

check() {
    local what=$1
    shift
    local complaints
    complaints=$("$@" 2>&1) && [ -z "$complaints" ] && return 0
    echo "$what complains about $page:"
    echo "$complaints"
    failed=1
}

check "groff" groff -ww -z -man "$page"
check "groff in the C locale" env LC_ALL=C groff -Tascii -ww -z -man "$page"
check "mandoc" mandoc -T lint -W style "$page"
# Every section a reader looks for is there.
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
    grep -qx "\.SH $section" "$page" || { echo "no $section section in $page"; failed=1; }
done
exit $failed
