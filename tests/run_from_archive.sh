#!/bin/sh
# run_from_archive.sh ZIP DRIVE COMMAND...
# Unzips the MATLAB release archive into a fresh folder whose name has a
# space, as a user might, and runs COMMAND with MEX_EXTENSION_DIR naming the
# folder it holds (prefixed with DRIVE, "Z:" for a Windows program under Wine,
# or "" for a native one).
set -eu
zip=$1 drive=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unpacked="$work/un zipped"
mkdir "$unpacked"
unzip -q "$zip" -d "$unpacked"
MEX_EXTENSION_DIR="$drive$unpacked/$(unzip -Z1 "$zip" | head -n 1 | cut -d / -f 1)"
export MEX_EXTENSION_DIR
echo "extensions from $MEX_EXTENSION_DIR"
"$@"
