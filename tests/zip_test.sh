#!/usr/bin/env bash
# Makes the zip for Windows users from a windows-x86 build and checks what it holds: the
# exe, stripped and small, the short text and the licence, nothing else; both texts with
# Windows line ends, the short one with this version, the licence the repository's.
# Usage: zip_test.sh <windows-x86 build folder> <project version> <LICENSE>
set -euo pipefail
build=$1
version=$2
license=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack could not make the zip"; }
zip=$scratch/out/Pimbrel-$version-win32.zip
[ -f "$zip" ] || fail "no $(basename "$zip") in: $(ls "$scratch/out")"

listed=$(unzip -Z1 "$zip" | sort)
[ "$listed" = $'LICENSE.txt\nPimbrel.exe\nREADME.txt' ] || fail "the zip holds:"$'\n'"$listed"

unzip -q "$zip" -d "$scratch/unpacked"
exe=$scratch/unpacked/Pimbrel.exe
file "$exe" | grep -q 'PE32 executable (console) Intel 80386 (stripped' ||
    fail "the zip's exe is not a stripped 32-bit console exe: $(file "$exe")"
size=$(stat -c %s "$exe")
[ "$size" -le 65536 ] || fail "the zip's exe is $size bytes, over 64 KB"
text=$scratch/unpacked/README.txt
lines=$(wc -l <"$text")
[ "$(grep -c $'\r$' "$text")" -eq "$lines" ] || fail "README.txt has lines without CRLF"
grep -q "Pimbrel $version" "$text" || fail "README.txt does not name version $version"
sed 's/$/\r/' "$license" | cmp -s - "$scratch/unpacked/LICENSE.txt" ||
    fail "LICENSE.txt is not $license with CRLF line ends"
echo "ok: $(basename "$zip") holds Pimbrel.exe ($size bytes), README.txt and LICENSE.txt"
