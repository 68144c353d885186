#!/usr/bin/env bash
# Makes the zip for Windows users from a windows-x86 build and checks what it holds: the
# exe, stripped and small, and the short text, nothing else; the text with Windows line
# ends and this version.
# Usage: zip_test.sh <windows-x86 build folder> <project version>
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack could not make the zip"; }
zip=$scratch/out/Pimbrel-$version-win32.zip
[ -f "$zip" ] || fail "no $(basename "$zip") in: $(ls "$scratch/out")"

listed=$(unzip -Z1 "$zip" | sort)
[ "$listed" = $'Pimbrel.exe\nREADME.txt' ] || fail "the zip holds:"$'\n'"$listed"

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
echo "ok: $(basename "$zip") holds Pimbrel.exe ($size bytes) and README.txt"
