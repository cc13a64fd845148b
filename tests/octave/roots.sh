#!/bin/sh
# roots.sh CACHE SUITE PACKAGE...: a root filesystem of Debian's SUITE with
# PACKAGE... installed as a user of that release installs them (apt-get
# install, with what they depend on), kept in CACHE/SUITE for later runs.
# Prints the root's path. A root is complete when it holds the stamp file,
# written last, naming those packages; it is built under another name and
# renamed into place, so an interrupted run leaves nothing that looks
# complete, and the next run builds it anew. One run at a time per root.
set -eu
cache=$1 suite=$2
shift 2
packages=$*
here=$(cd "$(dirname "$0")" && pwd)
root=$cache/$suite
new=$cache/$suite.new
stamp=.reloj-espera-root
mkdir -p "$cache"
exec 9>"$cache/$suite.lock"
flock 9
if [ -f "$root/$stamp" ] && [ "$(cat "$root/$stamp")" = "$packages" ]; then
    echo "$root"
    exit 0
fi

fail() {
    echo "roots.sh: cannot make the $suite root: $1" >&2
    [ -f "$log" ] && tail -n 20 "$log" >&2
    exit 1
}
log=$cache/$suite.log
rm -rf "$root" "$new"
: >"$log"
started=$(date +%s)
# The tool's own mirror for the suite: no registry is named here.
command -v debootstrap >/dev/null || fail "debootstrap is not installed (cmake/deps.sh installs it)"
debootstrap --variant=minbase "$suite" "$new" >>"$log" 2>&1 || fail "debootstrap $suite failed"
cp /etc/resolv.conf "$new/etc/resolv.conf"
# The registry may serve a suite as of a past day: sid's Release file then
# carries a Valid-Until date already past. Its signature is still checked.
# shellcheck disable=SC2086
sh "$here/in_root.sh" "$new" / env DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -q -o Acquire::Check-Valid-Until=false && apt-get install -y -q "$@" && apt-get clean' sh $packages >>"$log" 2>&1 ||
    fail "apt-get install $packages failed"
echo "$packages" >"$new/$stamp"
mv "$new" "$root"
echo "roots.sh: made the $suite root in $(($(date +%s) - started)) s" >&2
echo "$root"
