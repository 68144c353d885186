#!/usr/bin/env bash
# Runs README's own command lines as a newcomer types them, as root on this Debian machine:
# the demo, the package and its install, the uninstall, and the install and uninstall
# without a package. Each block is read from README.md, from the indented lines after a
# line `<!-- readme_test: NAME -->`, so that an edit of README that breaks a command breaks
# this test. They run in a copy of the sources, in a mount namespace of their own where
# /usr, /var and /etc are overlays on a tmpfs: dpkg installs into the system as it is, and
# whatever the commands write there is gone when they end, the machine left as found.
# Usage: readme_test.sh <source folder> <project version>
set -euo pipefail
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

if [ "${1-}" != --inside ]; then
    source=$1
    version=$2
    [ "$(id -u)" -eq 0 ] || skip "README's install commands are run as root, and this is not root"
    command -v dpkg >/dev/null || skip "no dpkg here: README's install is Debian's"
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    # What the machine holds of pimbrel before, to be found the same after.
    state() {
        dpkg-query -W -f='${Status} ${Version}\n' pimbrel 2>&1 || true
        ls -ld /usr/bin/pimbrel /usr/local/bin/pimbrel /usr/share/man/man1/pimbrel.1.gz 2>&1 || true
    }
    before=$(state)
    status=0
    unshare --mount --propagation private bash "$0" --inside "$source" "$version" "$scratch" || status=$?
    [ "$(state)" = "$before" ] || fail "the machine was changed:"$'\n'"$before"$'\n'"is now:"$'\n'"$(state)"
    exit $status
fi

source=$2
version=$3
scratch=$4
mount -t tmpfs -o mode=0700 readme-test "$scratch" || skip "cannot mount a tmpfs (no CAP_SYS_ADMIN here)"
for folder in usr var etc; do
    mkdir -p "$scratch/upper/$folder" "$scratch/work/$folder"
    mount -t overlay -o "lowerdir=/$folder,upperdir=$scratch/upper/$folder,workdir=$scratch/work/$folder" \
        "readme-test-$folder" "/$folder" || skip "cannot mount an overlay on /$folder"
done

# The sources as a user has them: no build of ours, no packages made before.
copy=$scratch/pimbrel
mkdir -p "$copy" "$scratch/home"
tar -C "$source" --exclude=./.git --exclude='./build' --exclude='./build-*' --exclude=./dist -cf - . |
    tar -C "$copy" -xf -
cd "$copy"

# The block of README after `<!-- readme_test: NAME -->`: its indented lines, unindented,
# with the empty lines between them.
block() {
    awk -v marker="<!-- readme_test: $1 -->" '
        $0 == marker { found = 1; next }
        !found { next }
        /^    / { for (; empty > 0; empty--) print ""; print substr($0, 5); inside = 1; next }
        /^$/ { if (inside) empty++; next }
        { exit }' README.md
}
# Runs a block as a root shell of a fresh machine runs it, with no terminal: its output in
# $scratch/NAME.log, its status in $ran.
run() {
    local commands
    commands=$(block "$1")
    [ -n "$commands" ] || fail "README.md has no block after <!-- readme_test: $1 -->"
    echo "== $1:"$'\n'"$commands"
    ran=0
    env -i HOME="$scratch/home" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 setsid -w bash -e -c "$commands" </dev/null >"$scratch/$1.log" 2>&1 || ran=$?
}
log() { cat "$scratch/$1.log"; }
# A text with its figures (0.002, 1.3) and the blanks at the ends of its lines taken out.
figures() { sed -E 's/[0-9]+\.[0-9]+/N/g; s/[[:space:]]+$//'; }

# The demo ends with the demo program's exit code, 3, and prints what README shows of it
# (its own figures aside).
run demo
[ $ran -eq 3 ] || fail "the demo ended with $ran, not 3:"$'\n'"$(log demo)"
shown=$(block demo-output)
[ -n "$shown" ] || fail "README.md has no block after <!-- readme_test: demo-output -->"
printed=$(log demo | sed -n '/^正在运行:/,$p')
[ "$(figures <<<"$printed")" = "$(figures <<<"$shown")" ] ||
    fail "the demo printed:"$'\n'"$printed"$'\n'"README shows:"$'\n'"$shown"

# The package is made, with the zip for Windows, and installed where README says.
run install
[ $ran -eq 0 ] || fail "the install ended with $ran:"$'\n'"$(log install)"
arch=$(dpkg --print-architecture)
for made in "pimbrel_${version}_$arch.deb" "Pimbrel-$version-win32.zip"; do
    [ -f "dist/$made" ] || fail "no dist/$made after the install:"$'\n'"$(ls dist)"
done
[ "$(dpkg-query -W -f='${Status} ${Version}' pimbrel)" = "install ok installed $version" ] ||
    fail "dpkg does not list pimbrel $version as installed"
[ "$(/usr/bin/pimbrel --version)" = "pimbrel $version" ] || fail "/usr/bin/pimbrel --version: $(/usr/bin/pimbrel --version)"
status=0
/usr/bin/pimbrel sh -c 'exit 42' </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 42 ] || fail "the installed pimbrel on 'exit 42' ended with $status"
for file in /usr/share/man/man1/pimbrel.1.gz /usr/share/bash-completion/completions/pimbrel; do
    [ -f $file ] || fail "the package did not install $file"
done
if command -v man >/dev/null; then
    [ "$(man -w pimbrel)" = /usr/share/man/man1/pimbrel.1.gz ] || fail "man finds $(man -w pimbrel 2>&1)"
fi

run uninstall
[ $ran -eq 0 ] || fail "the uninstall ended with $ran:"$'\n'"$(log uninstall)"
dpkg-query -W -f='${Status}' pimbrel 2>/dev/null | grep -q '^install ok' && fail "pimbrel is still installed"
for file in /usr/bin/pimbrel /usr/share/man/man1/pimbrel.1.gz /usr/share/bash-completion/completions/pimbrel; do
    [ ! -e $file ] || fail "$file is still there after the uninstall"
done

# Without a package: the files under /usr/local, and gone again.
run install-by-hand
[ $ran -eq 0 ] || fail "the install without a package ended with $ran:"$'\n'"$(log install-by-hand)"
[ "$(/usr/local/bin/pimbrel --version)" = "pimbrel $version" ] || fail "/usr/local/bin/pimbrel does not run"
for file in /usr/local/share/man/man1/pimbrel.1.gz /usr/local/share/bash-completion/completions/pimbrel \
    /usr/local/share/doc/pimbrel/README.md; do
    [ -f $file ] || fail "the install without a package did not put $file"
done
mapfile -t installed <build-package/install_manifest.txt
[ ${#installed[@]} -gt 0 ] || fail "no build-package/install_manifest.txt"
run uninstall-by-hand
[ $ran -eq 0 ] || fail "the uninstall without a package ended with $ran:"$'\n'"$(log uninstall-by-hand)"
for file in "${installed[@]}"; do
    [ ! -e "$file" ] || fail "$file is still there after the uninstall"
done
echo "ok: README's demo, package, install and uninstall work as written"
