#!/bin/sh
# in_root.sh ROOT DIRS COMMAND [ARG...]: runs COMMAND in the root file system
# ROOT, with /proc, /dev and the folders DIRS (separated by colons; / for
# none) mounted, each at its own path. The mounts are made in a mount
# namespace of the command's own, so they go when it ends, however it ends.
# The command replaces this script's process: its process id is the one the
# caller started, which signals reach.
set -eu
exec unshare --mount --propagation private sh -c '
set -eu
root=$1 dirs=$2
shift 2
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
set -f
IFS=:
for dir in $dirs; do
    [ "$dir" = / ] && continue
    mkdir -p "$root$dir"
    mount --bind "$dir" "$root$dir"
done
unset IFS
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export PATH
exec chroot "$root" "$@"' in_root "$@"
