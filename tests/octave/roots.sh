#!/bin/sh
# roots.sh CACHE SUITE NOTES PACKAGE...: a root filesystem of Debian's SUITE
# (a name that follows Debian's releases: stable, unstable ...) with
# PACKAGE... installed as a user of that release installs them (apt-get
# install, with what they depend on), kept in CACHE/SUITE for later runs. A
# PACKAGE written a|b is the first of them the suite has. Prints the root's
# Debian and Octave versions.
#
# A kept root is used while the registry offers the Octave it holds; when the
# suite has moved on (another release under its name, a new Octave), it is
# made anew. A suite the registry no longer serves (its Release file not
# found, while unstable's is) is skipped: exit status 77, the reason in
# NOTES/SUITE.skipped. A kept root is used as it is when the registry cannot
# be reached, with a note in NOTES/SUITE.note. Any other failure ends in exit
# status 1, with the reason and the end of the log.
#
# A root is complete when it holds the stamp file, written last, naming the
# packages asked for; it is built under another name and renamed into place,
# so an interrupted run leaves nothing that looks complete, and the next run
# builds it anew. One run at a time per root.
set -eu
cache=$1 suite=$2 notes=$3
shift 3
packages=$*
here=$(cd "$(dirname "$0")" && pwd)
root=$cache/$suite
new=$cache/$suite.new
log=$cache/$suite.log
stamp=.reloj-espera-root
mkdir -p "$cache" "$notes"
exec 9>"$cache/$suite.lock"
flock 9
rm -f "$notes/$suite.skipped" "$notes/$suite.note"

fail() {
    echo "roots.sh: cannot make the $suite root: $1" >&2
    [ -f "$log" ] && tail -n 20 "$log" >&2
    exit 1
}
# A command as root in ROOT, without the work tree.
in_root() {
    dir=$1
    shift
    sh "$here/in_root.sh" "$dir" / env DEBIAN_FRONTEND=noninteractive "$@"
}
# The registry may serve a suite as of a past day: sid's Release file then
# carries a Valid-Until date already past. Its signature is still checked.
# A name such as stable moves to the next release: its lists follow it.
update() {
    in_root "$1" apt-get update -q -o Acquire::Check-Valid-Until=false --allow-releaseinfo-change
}
# Octave's version in ROOT, or the one its lists offer: upstream's, without
# Debian's epoch and revision.
octave_in() {
    dpkg-query --admindir="$1/var/lib/dpkg" -W -f '${Version}' octave | sed 's/^[0-9]*://; s/-[^-]*$//'
}
octave_offered() {
    in_root "$1" apt-cache policy octave | sed -n 's/^ *Candidate: //p' | sed 's/^[0-9]*://; s/-[^-]*$//'
}
report() {
    echo "roots.sh: $1 the $suite root: Debian $(cat "$root/etc/debian_version"), Octave $(octave_in "$root")"
}
# Skipped when the registry answers "not found" for the suite's Release file
# (RELEASE, its address) but serves unstable's beside it: the suite is gone,
# not the network.
skip_if_gone() {
    release=$1
    wget -q -O /dev/null "${release%/dists/*}/dists/unstable/Release" || return 0
    wget -O /dev/null "$release" 2>&1 | grep -q 'ERROR 404' || return 0
    rm -rf "$new"
    echo "octave_${suite}_*: skipped: Debian's registry no longer serves $suite ($release is not found)" |
        tee "$notes/$suite.skipped"
    exit 77
}

if [ -f "$root/$stamp" ] && [ "$(cat "$root/$stamp")" = "$packages" ]; then
    # apt-get fails where a Release file is not found, and only warns where
    # the registry cannot be reached.
    if ! update "$root" >"$log" 2>&1 || grep -q '^[EW]: Failed to fetch' "$log"; then
        skip_if_gone "$(awk '$1 == "deb" {print $2 "/dists/" $3 "/Release"; exit}' "$root/etc/apt/sources.list")"
        echo "octave_${suite}_*: Debian's registry could not be asked about $suite" \
             "($(grep '^[EW]: ' "$log" | head -n 1)): the root kept from $(date -r "$root/$stamp" +%F) is tested as it is" |
            tee "$notes/$suite.note"
        report "kept"
        exit 0
    fi
    offered=$(octave_offered "$root")
    if [ "$offered" = "$(octave_in "$root")" ]; then
        report "kept"
        exit 0
    fi
    echo "roots.sh: $suite now offers Octave $offered, the kept root has $(octave_in "$root"): making it anew" >&2
fi

rm -rf "$new"
: >"$log"
started=$(date +%s)
# The tool's own mirror for the suite: no registry is named here.
command -v debootstrap >/dev/null || fail "debootstrap is not installed (cmake/deps.sh installs it)"
if ! debootstrap --variant=minbase "$suite" "$new" >>"$log" 2>&1; then
    release=$(sed -n 's/^E: Failed getting release file //p' "$log" | tail -n 1)
    [ -n "$release" ] && skip_if_gone "$release"
    fail "debootstrap $suite failed"
fi
cp /etc/resolv.conf "$new/etc/resolv.conf"
# Of each a|b, the first the suite has: a package renamed from one release to
# the next (Debian's Octave development files are liboctave-dev before 6.3).
update "$new" >>"$log" 2>&1 || fail "apt-get update failed"
# shellcheck disable=SC2016,SC2086
chosen=$(in_root "$new" sh -c 'for p; do
    for one in $(echo "$p" | tr "|" " "); do
        apt-cache policy "$one" | grep -q "Candidate: [0-9]" && break
    done
    printf "%s " "$one"
done' sh $packages) || fail "apt-cache failed"

# shellcheck disable=SC2086
in_root "$new" sh -c 'apt-get install -y -q "$@" && apt-get clean' sh $chosen >>"$log" 2>&1 ||
    fail "apt-get install ${chosen% } failed"
echo "$packages" >"$new/$stamp"
rm -rf "$root"
mv "$new" "$root"
report "made in $(($(date +%s) - started)) s"
