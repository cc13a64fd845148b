#!/bin/sh
# without_mkoctfile.sh OCTAVE-CLI CODE: runs CODE in Octave where Octave's
# own mkoctfile does not run, as on a machine without Octave's development
# files, leaving the machine as it is: in a mount namespace of this test's
# own, /dev/null is mounted over it. Exits 77 (skipped) where the system
# gives no such namespaces.
set -u
octave=$1 code=$2
mkoctfile=$("$octave" --norc --no-history --eval "disp(fullfile(__octave_config_info__('bindir'), 'mkoctfile'))")
if ! unshare --user --map-root-user --mount true 2>/dev/null; then
    echo "no user and mount namespaces here: skipped"
    exit 77
fi
exec unshare --user --map-root-user --mount sh -c \
    'mount --bind /dev/null "$1" && exec "$2" --norc --no-history --eval "$3"' sh "$mkoctfile" "$octave" "$code"
