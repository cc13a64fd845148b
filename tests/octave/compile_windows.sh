#!/bin/sh
# compile_windows.sh MKOCTFILE COMPILER OBJECTS SOURCE...: compiles each
# source as mkoctfile on Windows does, with mkoctfile's own command line
# (Octave's mex.h, -I., the flags in CXXFLAGS) but COMPILER in place of g++,
# into the folder OBJECTS. Paths are relative to the current folder, which
# mkoctfile needs without spaces. Compile only.
set -eu
mkoctfile=$1 compiler=$2 objects=$3
shift 3
mkdir -p "$objects"
for source; do
    object=$objects/$(echo "$source" | tr / _ | sed 's/\.cpp$/.o/')
    rm -f "$object"
    CXX=$compiler "$mkoctfile" --mex -c -I. "$source" -o "$object"
    [ -s "$object" ] || { echo "FAIL: $source: no object"; exit 1; }
done
echo "compiled for Windows: $*"
