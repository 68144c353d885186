#!/usr/bin/env bash
# Makes the Debian package of this build, checks it with lintian, installs it into a
# scratch root with dpkg, and runs the installed pimbrel on a program.
# Usage: package_test.sh <build folder> <project version> <print_args helper> <LICENSE>
set -euo pipefail
build=$1
version=$2
print_args=$3
license=$4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; fail "cpack could not make the package"; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = pimbrel ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "version is '$(field Version)', the project's is $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture is '$(field Architecture)'"

# The package holds the program, its manual page, its docs, its bash completion and the
# override that explains the static link to lintian, and nothing else.
listed=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$(printf '%s\n' \
    ./usr/bin/pimbrel \
    ./usr/share/bash-completion/completions/pimbrel \
    ./usr/share/doc/pimbrel/README.md \
    ./usr/share/doc/pimbrel/changelog.gz \
    ./usr/share/doc/pimbrel/copyright \
    ./usr/share/doc/pimbrel/editors.md \
    ./usr/share/lintian/overrides/pimbrel \
    ./usr/share/man/man1/pimbrel.1.gz | sort)
[ "$listed" = "$expected" ] || fail "the package holds:"$'\n'"$listed"$'\n'"expected:"$'\n'"$expected"

# Debian's own checker finds no error and no warning. Its exit status alone does not
# tell: it ends with 0 after warnings, and as root it says so on standard error.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian_status=0
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 || lintian_status=$?
if [ $lintian_status -ne 0 ] || grep -q '^[EW]: ' "$scratch/lintian.log"; then
    cat "$scratch/lintian.log"
    fail "lintian ended with $lintian_status and the complaints above"
fi

# dpkg -i into a root of its own, with a database of its own; the libraries the program
# links are this system's, so its dependencies are taken as met.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --log=/dev/null --path-include="/*" --force-depends --force-script-chrootless \
    --install "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -i failed"; }
dpkg --root="$root" --status pimbrel | grep -qx 'Status: install ok installed' ||
    fail "dpkg does not list pimbrel as installed"

# The installed pimbrel runs a program, passes it its arguments whole and ends with its
# exit status. No terminal and no input: nothing to wait for.
status=0
out=$(setsid -w "$root/usr/bin/pimbrel" "$print_args" "two words" "" </dev/null 2>&1) || status=$?
[ $status -eq 0 ] || fail "pimbrel ended with $status:"$'\n'"$out"
# "two words" and the empty argument, as hex
grep -qx 'arg:74776f20776f726473' <<<"$out" || fail "the program did not get 'two words':"$'\n'"$out"
grep -qx 'arg:' <<<"$out" || fail "the program did not get the empty argument:"$'\n'"$out"
grep -q '进程退出返回值 0 (0x0)' <<<"$out" || fail "no report line:"$'\n'"$out"

status=0
setsid -w "$root/usr/bin/pimbrel" sh -c "exit 42" </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 42 ] || fail "pimbrel on 'exit 42' ended with $status"

# man finds the installed page.
man --manpath="$root/usr/share/man" -w pimbrel >/dev/null || fail "man does not find pimbrel"

# bash-completion finds the installed completion where it looks for pimbrel's, when the
# package's /usr/share is its data folder (and no user's folder comes first). declare -F
# says where the function was read from, after its line number.
library=/usr/share/bash-completion/bash_completion
[ -f "$library" ] || fail "bash-completion is not installed"
found=$(BASH_COMPLETION_USER_DIR="$scratch/none" XDG_DATA_DIRS="$root/usr/share" bash --norc -c \
    '. "$0" && __load_completion pimbrel && complete -p pimbrel && shopt -s extdebug && declare -F _pimbrel' \
    "$library" 2>&1) || fail "bash-completion does not load pimbrel's completion:"$'\n'"$found"
[[ $found == "complete -F _pimbrel pimbrel"$'\n'"_pimbrel "+([0-9])" $root/usr/share/bash-completion/completions/pimbrel" ]] ||
    fail "bash-completion loads:"$'\n'"$found"

# The changelog's newest entry is this version's, and the copyright file carries the
# licence as LICENSE words it.
doc=$root/usr/share/doc/pimbrel
newest=$(gzip -dc "$doc/changelog.gz" | head -n 1)
[[ $newest == "pimbrel ($version) "* ]] || fail "the changelog's newest entry is '$newest', not $version's"
sed -n '/^License: Expat$/,$ { /^ /p }' "$doc/copyright" | sed 's/^ //; s/^\.$//' >"$scratch/licence" &&
    tail -n +5 "$license" | cmp -s - "$scratch/licence" ||
    fail "the copyright file's Expat text is not the permission notice in $license"
echo "ok: $(basename "$deb") installs and runs"
