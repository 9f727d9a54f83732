#!/usr/bin/env bash
# The Debian package as a user meets it: built from the build tree, checked by
# lintian, installed with apt, its tools and its window started, then removed
# with nothing left behind. Installs into this machine: run it as root on a
# machine that may be changed (CI does).
# Usage: bash tests/packaging/package_test.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(readlink -f "${1:-$root/build}")
source "$root/scripts/lib.sh"

as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  lintian xvfb xauth xdotool man-db dpkg-dev file >/dev/null

fail() { echo "package test: $*" >&2; exit 1; }

rm -f "$build"/pelmora_*.deb
cmake --build "$build" --target package -j"$(nproc)" >/dev/null
deb=$(ls "$build"/pelmora_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no pelmora_VERSION_amd64.deb in $build"
version=$(dpkg-deb -f "$deb" Version)
echo "package: $(basename "$deb")"

# lintian: no errors (warnings are printed for the record).
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lintian_out" | sed 's/^/  lintian: /'
if echo "$lintian_out" | grep -q '^E: '; then fail "lintian reports errors"; fi

# The man pages render.
for page in pelmora pelmora-convert pelmora-access; do
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$page.1.gz" | gunzip | man -l - >/dev/null 2>&1 \
    || fail "man page $page does not render"
done

as_root apt-get install -y -qq "$deb" >/dev/null || fail "apt cannot install $deb"
trap 'as_root apt-get purge -y -qq pelmora >/dev/null 2>&1 || true' EXIT

[ "$(pelmora-convert --version)" = "pelmora-convert $version" ] || fail "pelmora-convert --version: $(pelmora-convert --version)"
[ "$(pelmora-access --version)" = "pelmora-access $version" ] || fail "pelmora-access --version"
sample=/usr/lib/pelmora/Samples/sample.mdb
[ -f "$sample" ] || fail "no $sample"
tables=$(pelmora-access tables "$sample") || fail "pelmora-access cannot read $sample"
[ -n "$tables" ] || fail "$sample lists no tables"

# The installed program, through its launcher, to its first window.
home=$(mktemp -d)
# What the program printed is kept, to tell why when no window came.
HOME=$home xvfb-run -a sh -c '
  pelmora >"$HOME/pelmora.log" 2>&1 & pid=$!
  found=$(timeout 20 xdotool search --sync --onlyvisible --class pelmora 2>/dev/null | head -n 1)
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
  [ -n "$found" ]' || fail "the installed program showed no window; it printed: $(cat "$home/pelmora.log" 2>/dev/null)"
rm -rf "$home"

files=$(dpkg -L pelmora | grep -v '^/\.$' || true)
as_root apt-get purge -y -qq pelmora >/dev/null
trap - EXIT
left=""
for f in $files; do
  [ -e "$f" ] && [ ! -d "$f" ] && left+="$f "
done
[ -z "$left" ] || fail "files left after removal: $left"
[ ! -e /usr/lib/pelmora ] || fail "/usr/lib/pelmora left after removal"
echo "package test: ok ($version)"
